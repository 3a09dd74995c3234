#!/usr/bin/env bash
# Records a run of the intro, picture and music, to a video file.
#
#   ./record-intro.sh [--seconds N] [--lossless] [-o FILE] [--no-build] [--intro PROGRAM]
#
#   --seconds N     seconds of the main scene before Escape is pressed (default 30)
#   --lossless      FFV1 video in RGB (bgr0) with FLAC sound in Matroska, for editing;
#                   by default H.264 with AAC in MP4
#   -o FILE         where the video goes (default intro.mp4, or intro.mkv with --lossless)
#   --no-build      use the build as it is instead of running the set-up first
#   --intro PROGRAM run PROGRAM in place of build/intro (the tests use a wrapper that fails)
#
# The unchanged intro runs in a temporary working directory whose data/ holds
# the assets and the two capture libraries in place of SDL and libmikmod
# (capture/). They stream raw pictures and sound through two named pipes
# to one ffmpeg process. The video is written under a temporary name beside
# FILE and renamed only when the intro and ffmpeg both succeeded.
set -euo pipefail

scene_seconds=30
lossless=false
output=
build=true
program=
ffmpeg=${INTRO_CAPTURE_FFMPEG:-ffmpeg}
# What the run adds to the scene: the logo intro (about 1.7 s), both fades and
# the credits page (about 2.7 s).
fixed_seconds=4.5

usage() {
  sed -n '4,12s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2
  exit 2
}
fail() {
  echo "record-intro: $*" >&2
  exit 1
}

while (($#)); do
  case $1 in
    --seconds) (($# >= 2)) || usage; scene_seconds=$2; shift 2 ;;
    --lossless) lossless=true; shift ;;
    -o) (($# >= 2)) || usage; output=$2; shift 2 ;;
    --no-build) build=false; shift ;;
    --intro) (($# >= 2)) || usage; program=$2; shift 2 ;;
    *) usage ;;
  esac
done
[[ $scene_seconds =~ ^[0-9]+([.][0-9]+)?$ ]] || fail "--seconds wants a number of seconds, not '$scene_seconds'"

if $lossless; then
  output=${output:-intro.mkv}
  encoding=(-c:v ffv1 -level 3 -pix_fmt bgr0 -c:a flac -f matroska)
else
  output=${output:-intro.mp4}
  encoding=(-c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p -c:a aac -b:a 192k
            -movflags +faststart -f mp4)
fi

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${INTRO_BUILD_DIR:-$project_root/build}
program=${program:-$build_dir/intro}

# The output is checked before anything runs: a directory that is missing or
# cannot be written to is reported at once.
output_dir=$(dirname -- "$output")
[[ -d $output_dir ]] || fail "cannot write $output: the directory $output_dir does not exist"
[[ ! -d $output ]] || fail "cannot write $output: it is a directory"
partial=$(mktemp -p "$output_dir" ".$(basename -- "$output").partial.XXXXXX" 2>/dev/null) ||
  fail "cannot write $output: the directory $output_dir is not writable"

workdir=
ffmpeg_pid=
cleanup() {
  if [[ -n $ffmpeg_pid ]]; then
    kill -KILL "$ffmpeg_pid" 2>/dev/null || true
    { wait "$ffmpeg_pid"; } 2>/dev/null || true
  fi
  [[ -z $partial ]] || rm -f -- "$partial"
  [[ -z $workdir ]] || rm -rf -- "$workdir"
}
trap cleanup EXIT

if $build; then "$project_root/scripts/setup.sh" --with-capture-tools >&2; fi
command -v "$ffmpeg" >/dev/null ||
  fail "ffmpeg is not installed: install the Debian package ffmpeg (apt-get install ffmpeg)"
media_library=$build_dir/capture/libintro_capture_media.so
music_library=$build_dir/capture/libintro_capture_music.so
for needed in "$program" "$media_library" "$music_library"; do
  [[ -e $needed ]] || fail "$needed is missing: build the project first (./run-intro.sh builds it)"
done

# The working directory: the assets and the capture libraries under data/.
workdir=$(mktemp -d "${TMPDIR:-/tmp}/record-intro.XXXXXX")
mkdir "$workdir/data"
for asset in "$project_root"/data/*; do
  case $(basename -- "$asset") in
    sdl.library | mikmod.library) ;;
    *) ln -s -- "$asset" "$workdir/data/" ;;
  esac
done
cp -- "$media_library" "$workdir/data/sdl.library"
cp -- "$music_library" "$workdir/data/mikmod.library"
mkfifo "$workdir/video.pipe" "$workdir/audio.pipe"

# ffmpeg runs in a session of its own, so that Ctrl-C reaches the intro only:
# the scene ends early and the recording closes normally.
setsid "$ffmpeg" -hide_banner -loglevel error -nostdin -nostats -y \
  -f rawvideo -pixel_format bgr0 -video_size 640x480 -framerate 60 -thread_queue_size 64 \
  -i "$workdir/video.pipe" \
  -f s16le -ar 44100 -ac 2 -thread_queue_size 64 -i "$workdir/audio.pipe" \
  -map 0:v -map 1:a "${encoding[@]}" "$partial" &
ffmpeg_pid=$!

total_seconds=$(awk -v s="$scene_seconds" -v f="$fixed_seconds" 'BEGIN { print s + f }')
intro_status=0
(
  cd "$workdir"
  export PWD=$workdir INTRO_CAPTURE_VIDEO=$workdir/video.pipe INTRO_CAPTURE_AUDIO=$workdir/audio.pipe
  export INTRO_CAPTURE_SCENE_SECONDS=$scene_seconds INTRO_CAPTURE_TOTAL_SECONDS=$total_seconds
  exec "$program"
) || intro_status=$?

if ((intro_status != 0)); then
  fail "the intro failed (exit status $intro_status); no video was written"
fi
ffmpeg_status=0
wait "$ffmpeg_pid" || ffmpeg_status=$?
ffmpeg_pid=
((ffmpeg_status == 0)) || fail "ffmpeg failed (exit status $ffmpeg_status); no video was written"

chmod "$(printf %04o $((0666 & ~$(umask))))" "$partial"  # mktemp made it private
mv -f -- "$partial" "$output"
partial=
echo "record-intro: wrote $output" >&2
