#!/bin/sh
# Writes preview/contact_sheet.png (the four images of data/, enlarged two
# times, fonts over a mid-grey checker so their alpha shows) and
# preview/music_spectrogram.png (the module rendered by libmikmod's WAV writer
# through tools/render_module, then analysed by sox).
#   tools/preview.sh [BUILD_DIR]     (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
data=$root/data
out=$root/preview
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Width and height from the 6-byte header.
size_of() { od -An -tu2 -N4 "$1" | awk '{print $1 "x" $2}'; }

# to_png FILE ORDER(rgba|bgra) OUT: pixels after the header, flattened on a checker.
to_png() {
  size=$(size_of "$1")
  convert -size "$size+6" -depth 8 "$3:$1" "$tmp/raw.png"
  convert -size "$size" pattern:checkerboard -fill '#404048' -colorize 70% "$tmp/raw.png" \
          -compose over -composite -scale 200% "$2"
}

to_png "$data/data01.dt" "$tmp/1.png" bgra
to_png "$data/data02.dt" "$tmp/2.png" bgra
to_png "$data/data03.dt" "$tmp/3.png" rgba
to_png "$data/data04.dt" "$tmp/4.png" rgba
convert -background '#202020' -fill white -pointsize 14 \
        \( "$tmp/1.png" -set label 'data01.dt big font' \) \
        \( "$tmp/2.png" -set label 'data02.dt small font' \) \
        \( "$tmp/3.png" -set label 'data03.dt logo' \) \
        \( "$tmp/4.png" -set label 'data04.dt texture' \) \
        miff:- | montage - -tile 2x2 -geometry +8+8 -background '#202020' -fill white "$out/contact_sheet.png"

written="$out/contact_sheet.png"
if [ -x "$build/tools/render_module" ]; then
  "$build/tools/render_module" "$data/data05.dt" "$tmp/music.wav"
  sox "$tmp/music.wav" -n remix - stat 2>&1 | sed -n '1,20p'
  sox "$tmp/music.wav" -n remix - spectrogram -x 1600 -y 513 -z 90 -t "data05.dt" -o "$out/music_spectrogram.png"
  written="$written and $out/music_spectrogram.png"
fi
echo "wrote $written"
