# shellcheck shell=bash
# A game's folder of 300 models in ./game, as an old game leaves it, made from the sample
# (written by our own writer): nested folders whose names hold spaces and accents, extensions in
# any case, every tenth model broken (cut short, or a bad magic), other files among them (notes,
# the models' texture), and a link to a folder, which no walk follows. Sourced by the folder
# tests; `make_game_folder SAMPLE` writes it in the working folder.
game_folders=("Game Data/Modèles" "Game Data/Modèles/Personnages" "Game Data/Props & Décor"
              "levels/niveau 1" "levels/niveau 2/Été" "levels")
# The path below ./game of model I (0 to 299).
game_model() {
  local stems=("model " "Lampe é " "prop_") extensions=(.kxm .KXM .Kxm)
  echo "${game_folders[$1 % 6]}/${stems[$1 % 3]}$(printf %03d "$1")${extensions[$1 % 3]}"
}
make_game_folder() {
  local sample=$1 folder file i size
  for folder in "${game_folders[@]}"; do
    mkdir -p "game/$folder"
    cp "$(dirname "$sample")/wood.png" "game/$folder/"
    echo "not a model" > "game/$folder/notes.txt"
  done
  size=$(stat -c %s "$sample")
  for i in $(seq 0 299); do
    file="game/$(game_model "$i")"
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
