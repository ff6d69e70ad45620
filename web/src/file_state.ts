// What the page holds of the open file: its name, its bytes (the worker has its own copy), and
// which rows are its frames, which the export makes nodes in the same order.
export class OpenFile {
  name = "";
  bytes: Uint8Array = new Uint8Array(0);
  frameRows: number[] = [];
  // Frame k's row, and back: a model may have a hundred thousand frames nested as deep.
  private frameOf = new Map<number, number>();

  setFrames(rows: number[]): void {
    this.frameRows = rows;
    this.frameOf = new Map(rows.map((r, k) => [r, k]));
  }

  frameOfRow(row: number): number | undefined {
    return this.frameOf.get(row);
  }
}
