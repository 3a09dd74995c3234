#!/bin/sh
# Writes OUT_DIR/contact_sheet.png (the four images of data/, enlarged two
# times, fonts over a mid-grey checker so their alpha shows) and
# OUT_DIR/music_spectrogram.png (the module rendered by libmikmod's WAV writer
# through BUILD_DIR/tools/render_module, then analysed by sox).
#   tools/preview.sh [BUILD_DIR [OUT_DIR]]     (default: build and preview)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$root/preview}
data=$root/data
# The labels are drawn with a font file the set-up installs (fonts-dejavu-core):
# ImageMagick's default font comes from Ghostscript's fonts, which it lacks.
label_font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

fail() { echo "preview: $*" >&2; exit 1; }
for tool in convert identify montage sox; do
  command -v "$tool" >/dev/null || fail "$tool is missing: install the Debian packages imagemagick and sox (scripts/setup.sh --with-test-tools does, as root)"
done
[ -r "$label_font" ] || fail "$label_font is missing: install the Debian package fonts-dejavu-core"
[ -x "$build/tools/render_module" ] || fail "$build/tools/render_module is missing: build the project first"
for name in data01.dt data02.dt data03.dt data04.dt data05.dt; do
  [ -r "$data/$name" ] || fail "$data/$name is missing: build the project first"
done

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
# Every tile as large as the largest image: montage drops the labels of a row
# whose tiles it sizes by itself.
tile=$(identify -format '%w %h\n' "$tmp"/[1-4].png |
       awk '$1 > w { w = $1 } $2 > h { h = $2 } END { print w "x" h }')
convert \( "$tmp/1.png" -set label 'data01.dt big font' \) \
        \( "$tmp/2.png" -set label 'data02.dt small font' \) \
        \( "$tmp/3.png" -set label 'data03.dt logo' \) \
        \( "$tmp/4.png" -set label 'data04.dt texture' \) \
        miff:- |
  montage - -tile 2x2 -geometry "$tile>+8+8" -background '#202020' -fill white \
          -font "$label_font" -pointsize 14 "$out/contact_sheet.png"

"$build/tools/render_module" "$data/data05.dt" "$tmp/music.wav"
sox "$tmp/music.wav" -n remix - stat 2>&1 | sed -n '1,20p'
sox "$tmp/music.wav" -n remix - spectrogram -x 1600 -y 513 -z 90 -t "data05.dt" -o "$out/music_spectrogram.png"
echo "wrote $out/contact_sheet.png and $out/music_spectrogram.png"
