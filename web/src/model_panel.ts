// The model in 3D as kxm export makes it: asked of the worker once a file has loaded, drawn by
// the scene view, its animation played, paused and sought, its GLB downloaded; a mesh clicked
// selects its frame's row, and the export's warnings are listed, each followed to its chunk.
import type { OpenFile } from "./file_state";
import { WarningsView } from "./findings_view";
import type { ExportResult } from "./protocol";
import type { SceneView } from "./scene_view";
import { ask } from "./worker_client";

const $ = <T extends HTMLElement>(id: string) => document.getElementById(id) as T;

export class ModelPanel {
  exported: ExportResult | null = null;
  // Settles when the 3D view shows the last file opened (or has said why it cannot).
  ready: Promise<void> = Promise.resolve();
  readonly warnings = new WarningsView($<HTMLUListElement>("export-warnings"));
  private readonly play = $<HTMLButtonElement>("play");
  private readonly slider = $<HTMLInputElement>("time");
  private readonly timeText = $<HTMLSpanElement>("time-text");
  private readonly download = $<HTMLButtonElement>("download");
  private readonly note = $<HTMLSpanElement>("scene-note");

  constructor(
    readonly scene: SceneView,
    private readonly file: OpenFile,
    selectRow: (row: number) => void,
  ) {
    scene.onPick = (frame) => {
      if (frame >= 0 && frame < file.frameRows.length) selectRow(file.frameRows[frame]);
    };
    scene.onTime = (time, duration) => {
      this.slider.value = String(duration > 0 ? time / duration : 0);
      this.timeText.textContent = `${time.toFixed(2)} / ${duration.toFixed(2)} s`;
    };
    this.play.addEventListener("click", () => {
      scene.setPlaying(!scene.isPlaying);
      this.play.textContent = scene.isPlaying ? "Pause" : "Play";
    });
    this.slider.addEventListener("input", () => {
      scene.setPlaying(false);
      this.play.textContent = "Play";
      scene.seek(Number(this.slider.value) * scene.animationDuration);
    });
    $<HTMLInputElement>("wireframe").addEventListener("change", (e) =>
      scene.setWireframe((e.target as HTMLInputElement).checked),
    );
    this.download.addEventListener("click", () => {
      if (this.exported?.glb)
        scene.download(this.exported.glb, (file.name.split("/").pop() ?? "model").replace(/\.kxm$/i, "") + ".glb");
    });
  }

  clear(): void {
    this.scene.clear();
  }

  // Exports the open file and draws it.
  show(): void {
    this.ready = this.load().catch((e) => {
      this.note.textContent = String(e);
    });
  }

  // Stops the animation at this time, in seconds.
  seek(time: number): void {
    this.scene.setPlaying(false);
    this.play.textContent = "Play";
    this.scene.seek(time);
  }

  private async load(): Promise<void> {
    const scene = this.scene;
    this.exported = null;
    scene.clear();
    this.warnings.show([]);
    this.play.disabled = this.slider.disabled = this.download.disabled = true;
    this.timeText.textContent = "";
    this.note.textContent = scene.error;
    const reply = await ask({ type: "export" });
    if (reply.type !== "export") return;
    const exported = reply.result;
    this.exported = exported;
    if (!exported.ok || !exported.glb) {
      this.note.textContent = exported.error;
      return;
    }
    this.download.disabled = false;
    const warnings = exported.warnings.length;
    this.note.textContent = warnings === 0 ? "" : `${warnings} export ${warnings === 1 ? "warning" : "warnings"}`;
    this.note.title = exported.warnings.join("\n");
    this.warnings.show(exported.warnings, exported.warningChunks);
    scene.frames = this.file.frameRows.length;
    await scene.show(exported.glb);
    const animated = scene.animationDuration > 0;
    this.play.disabled = this.slider.disabled = !animated;
    this.play.textContent = scene.isPlaying ? "Pause" : "Play";
  }
}
