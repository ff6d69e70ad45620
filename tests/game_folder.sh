# shellcheck shell=bash
# A game's folder of 300 models in ./game, as an old game leaves it, made from the sample
# (written by our own writer): nested folders whose names hold spaces and accents, extensions in
# any case, every tenth model broken (cut short, or a bad magic), other files among them (notes,
# the models' texture), and a link to a folder, which no walk follows. Sourced by the folder
# tests; `make_game_folder SAMPLE` writes it in the working folder.
make_game_folder() {
  local sample=$1 folder file i size
  local folders=("game/Game Data/Modèles" "game/Game Data/Modèles/Personnages"
                 "game/Game Data/Props & Décor" "game/levels/niveau 1"
                 "game/levels/niveau 2/Été" "game/levels")
  local stems=("model " "Lampe é " "prop_") extensions=(.kxm .KXM .Kxm)
  for folder in "${folders[@]}"; do
    mkdir -p "$folder"
    cp "$(dirname "$sample")/wood.png" "$folder/"
    echo "not a model" > "$folder/notes.txt"
  done
  size=$(stat -c %s "$sample")
  for i in $(seq 0 299); do
    file="${folders[i % 6]}/${stems[i % 3]}$(printf %03d "$i")${extensions[i % 3]}"
    # Each model its own: the last byte of its custom data, which closes the file, is its number.
    { head -c $((size - 1)) "$sample"; printf "\\$(printf %03o "$i")"; } > "$file"
    if [ $((i % 20)) = 9 ]; then
      truncate -s $((24 + i * 7 % (size - 24))) "$file"
    elif [ $((i % 10)) = 9 ]; then
      printf X | dd of="$file" bs=1 seek=8 conv=notrunc status=none
    fi
  done
  ln -s "../Game Data" "game/levels/raccourci"
}
