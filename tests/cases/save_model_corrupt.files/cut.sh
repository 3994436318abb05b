# Copies a save file without its last n bytes.
size=$(stat -c %s "$1")
head -c $((size - $3)) "$1" > "$2"
