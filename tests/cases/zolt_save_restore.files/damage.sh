# Copies a save file without its checksum trailer (as files were written
# before it) and damages one word of its scripting section.
#   sh damage.sh FROM TO KIND
#   case   the highest case number of a case table becomes 256
#   sizes  the sizes of the 2 by 3 array become 65536 by 65536
#   tag    the tag of the constant 123456789 becomes 5
#   index  the function of the symbol "prog" becomes statement 100000
size=$(stat -c %s "$1")
head -c $((size - 20)) "$1" > "$2"
case $3 in
  case) pattern='\x0F\x00\x00\x00\x00\x00\x00\x00\x12\x00\x00\x00'; offset=12; bytes='\000\001\000\000' ;;
  sizes) pattern='\x04\x00\x00\x00\x02\x00\x00\x00\x02\x00\x00\x00\x03\x00\x00\x00'; offset=8
         bytes='\000\000\001\000\000\000\001\000' ;;
  tag) pattern='\x00\x00\x00\x00\x15\xCD\x5B\x07'; offset=0; bytes='\005\000\000\000' ;;
  index) pattern='\x04\x00\x00\x00prog'; offset=-4; bytes='\240\206\001\000' ;;
esac
at=$(LC_ALL=C grep -obUaP "$pattern" "$2" | head -1 | cut -d: -f1)
[ -n "$at" ] || { echo "pattern not found"; exit 1; }
printf "$bytes" | dd of="$2" bs=1 seek=$((at + offset)) conv=notrunc status=none
