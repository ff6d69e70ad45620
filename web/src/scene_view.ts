// The model in 3D: the GLB our exporter made, read by three.js, with orbit and zoom, its
// textures and vertex colours, its animations (play, pause, a time slider) and wireframe.
// Selecting a frame or mesh node lights up what it became; clicking a mesh selects its node.
import * as THREE from "three";
import { GLTFLoader } from "three/examples/jsm/loaders/GLTFLoader.js";
import { OrbitControls } from "three/examples/jsm/controls/OrbitControls.js";

export const BACKGROUND = 0x2b3036;

export class SceneView {
  private readonly renderer: THREE.WebGLRenderer | null = null;
  private readonly scene = new THREE.Scene();
  private readonly camera = new THREE.PerspectiveCamera(45, 1, 0.01, 1000);
  private readonly controls: OrbitControls | null = null;
  private readonly timer = new THREE.Timer();
  private root: THREE.Object3D | null = null;
  private mixer: THREE.AnimationMixer | null = null;
  private action: THREE.AnimationAction | null = null;
  private duration = 0;
  private playing = false;
  private highlighted: [THREE.Mesh, THREE.Material | THREE.Material[]][] = [];
  // The frame whose meshes are lit, null for none; undefined when none was asked for since the
  // model was shown.
  private lit: number | null | undefined = undefined;
  readonly error: string = "";
  // The export's node k is frame k; a skinned mesh's node, at the root, bears its frame's name.
  private nodeObjects = new Map<number, THREE.Object3D>();
  private objectNodes = new Map<THREE.Object3D, number>();
  private nodeNames: string[] = [];
  private wireframe = false;
  // How many frames the model has: nodes 0 to frames - 1 are theirs.
  frames = 0;
  onPick: (frame: number) => void = () => {};
  onTime: (time: number, duration: number) => void = () => {};

  constructor(private readonly canvas: HTMLCanvasElement) {
    try {
      this.renderer = new THREE.WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
    } catch (e) {
      this.error = "3D is not available here: " + String(e);
      return;
    }
    this.renderer.setClearColor(BACKGROUND);
    this.scene.add(new THREE.HemisphereLight(0xffffff, 0x404040, 2.5));
    const sun = new THREE.DirectionalLight(0xffffff, 2);
    sun.position.set(3, 6, 5);
    this.scene.add(sun);
    this.controls = new OrbitControls(this.camera, canvas);
    this.controls.addEventListener("change", () => this.draw());
    canvas.addEventListener("click", (e) => this.pick(e));
    new ResizeObserver(() => this.draw()).observe(canvas);
    const tick = () => {
      requestAnimationFrame(tick);
      this.timer.update();
      if (this.mixer && this.playing) {
        this.mixer.update(this.timer.getDelta());
        this.onTime(this.time, this.duration);
        this.draw();
      }
    };
    requestAnimationFrame(tick);
  }

  get time(): number {
    return this.action ? this.action.time % Math.max(this.duration, 1e-9) : 0;
  }

  get animationDuration(): number {
    return this.duration;
  }

  get isPlaying(): boolean {
    return this.playing;
  }

  clear(): void {
    if (this.root) this.scene.remove(this.root);
    this.root = null;
    this.mixer = null;
    this.action = null;
    this.duration = 0;
    this.playing = false;
    this.highlighted = [];
    this.lit = undefined;
    this.nodeObjects.clear();
    this.objectNodes.clear();
    this.nodeNames = [];
    this.draw();
  }

  // Shows a GLB, its images inside it.
  async show(glb: Uint8Array): Promise<void> {
    this.clear();
    if (!this.renderer) return;
    const manager = new THREE.LoadingManager();
    // The GLB holds everything; an image it names by a URI instead is never fetched.
    manager.setURLModifier((url) => (url.startsWith("blob:") || url.startsWith("data:") ? url : "data:,"));
    const loader = new GLTFLoader(manager);
    const buffer = glb.buffer.slice(glb.byteOffset, glb.byteOffset + glb.byteLength) as ArrayBuffer;
    const gltf = await loader.parseAsync(buffer, "");
    this.root = gltf.scene;
    if (this.wireframe) this.setWireframe(true);
    for (const [object, where] of gltf.parser.associations) {
      if (where && where.nodes !== undefined && object instanceof THREE.Object3D) {
        this.nodeObjects.set(where.nodes, object);
        this.objectNodes.set(object, where.nodes);
      }
    }
    this.nodeNames = (gltf.parser.json.nodes ?? []).map((n: { name?: string }) => n.name ?? "");
    this.scene.add(gltf.scene);
    this.frame();
    if (gltf.animations.length > 0) {
      this.mixer = new THREE.AnimationMixer(gltf.scene);
      this.action = this.mixer.clipAction(gltf.animations[0]);
      this.duration = gltf.animations[0].duration;
      this.action.play();
      this.playing = true;
      this.timer.update();
    }
    this.draw();
  }

  setPlaying(playing: boolean): void {
    this.playing = playing && this.mixer !== null;
    this.timer.update();
  }

  seek(time: number): void {
    if (!this.mixer || !this.action) return;
    this.action.time = time;
    this.mixer.update(0);
    this.onTime(this.time, this.duration);
    this.draw();
  }

  setWireframe(on: boolean): void {
    this.wireframe = on;
    for (const [, own] of this.highlighted) {
      for (const m of Array.isArray(own) ? own : [own]) (m as THREE.MeshStandardMaterial).wireframe = on;
    }
    this.root?.traverse((o) => {
      const mesh = o as THREE.Mesh;
      if (!mesh.isMesh) return;
      for (const m of Array.isArray(mesh.material) ? mesh.material : [mesh.material]) {
        (m as THREE.MeshStandardMaterial).wireframe = on;
      }
    });
    this.draw();
  }

  // Lights up the meshes of frame `frame`, its skinned meshes among them.
  highlight(frame: number | null): void {
    // The same meshes lit again: nothing to draw anew (a million vertices drawn in software
    // hold the page up for most of a second).
    if (frame === this.lit) return;
    this.lit = frame;
    // Each lit mesh wears a lit copy of its materials; its own come back.
    for (const [mesh, own] of this.highlighted) mesh.material = own;
    this.highlighted = [];
    if (frame !== null) {
      const objects: THREE.Object3D[] = [];
      const own = this.nodeObjects.get(frame);
      if (own) objects.push(own);
      for (let node = this.frames; node < this.nodeNames.length; ++node) {
        const object = this.nodeObjects.get(node);
        if (object && this.nodeNames[node] === this.nodeNames[frame]) {
          objects.push(object);
        }
      }
      for (const object of objects) {
        object.traverse((o) => {
          const mesh = o as THREE.Mesh;
          if (!mesh.isMesh || this.highlighted.some(([lit]) => lit === mesh)) return;
          this.highlighted.push([mesh, mesh.material]);
          mesh.material = Array.isArray(mesh.material) ? mesh.material.map((m) => m.clone()) : mesh.material.clone();
          for (const m of Array.isArray(mesh.material) ? mesh.material : [mesh.material]) {
            (m as THREE.MeshStandardMaterial).emissive?.setHex(0x886600);
          }
        });
      }
    }
    this.draw();
  }

  download(glb: Uint8Array, name: string): void {
    const url = URL.createObjectURL(new Blob([glb as BlobPart], { type: "model/gltf-binary" }));
    const a = document.createElement("a");
    a.href = url;
    a.download = name;
    a.click();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
  }

  private frame(): void {
    if (!this.root) return;
    const box = new THREE.Box3().setFromObject(this.root);
    const size = box.getSize(new THREE.Vector3()).length() || 1;
    const centre = box.getCenter(new THREE.Vector3());
    this.camera.near = size / 100;
    this.camera.far = size * 100;
    this.camera.position.copy(centre).add(new THREE.Vector3(0.45, 0.4, 1).multiplyScalar(size * 1.1));
    this.camera.updateProjectionMatrix();
    this.controls?.target.copy(centre);
    this.controls?.update();
  }

  private pick(e: MouseEvent): void {
    if (!this.root) return;
    const rect = this.canvas.getBoundingClientRect();
    const pointer = new THREE.Vector2(
      ((e.clientX - rect.left) / rect.width) * 2 - 1,
      -((e.clientY - rect.top) / rect.height) * 2 + 1,
    );
    const ray = new THREE.Raycaster();
    ray.setFromCamera(pointer, this.camera);
    const hit = ray.intersectObject(this.root, true)[0];
    // The frame whose node holds the mesh; a skinned mesh's node names its frame.
    for (let o: THREE.Object3D | null = hit?.object ?? null; o; o = o.parent) {
      const node = this.objectNodes.get(o);
      if (node === undefined) continue;
      const frame = node < this.frames ? node : this.nodeNames.indexOf(this.nodeNames[node]);
      if (frame >= 0) {
        this.onPick(frame);
        return;
      }
    }
  }

  draw(): void {
    if (!this.renderer) return;
    const w = this.canvas.clientWidth;
    const h = this.canvas.clientHeight;
    if (w === 0 || h === 0) return;
    if (this.canvas.width !== w || this.canvas.height !== h) {
      this.renderer.setSize(w, h, false);
      this.camera.aspect = w / h;
      this.camera.updateProjectionMatrix();
    }
    this.renderer.render(this.scene, this.camera);
  }
}
