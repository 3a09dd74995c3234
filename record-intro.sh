#!/usr/bin/env bash
# Records a run of the intro, picture and music, to a video file.
#
#   ./record-intro.sh [--seconds N] [--fps N] [--scale K] [--lossless] [-o FILE]
#                     [--no-build] [--intro PROGRAM] [--help]
#
#   --seconds N     seconds of the main scene before Escape is pressed (default 30,
#                   at most two decimals)
#   --fps N         frames per second (default 60): a divisor of 48000 up to 240,
#                   such as 30, 50, 60 or 120
#   --scale K       enlarge every pixel to K x K (1 to 4, default 1), for video sites
#   --lossless      FFV1 video in RGB (bgr0) with FLAC sound in Matroska, for editing;
#                   by default H.264 with AAC in MP4
#   -o FILE         where the video goes (default intro.mp4, or intro.mkv with --lossless);
#                   a name ending in .mkv asks for --lossless, one ending in .mp4 refuses it
#   --no-build      use the build as it is instead of running the set-up first
#   --intro PROGRAM run PROGRAM in place of build/intro (the tests use a wrapper that fails)
#   --help          print this and exit
#
# The unchanged intro runs on a simulated clock (capture/virtual_clock.h,
# preloaded into the intro only) in a temporary working directory whose data/
# holds the assets and the two capture libraries in place of SDL and libmikmod
# (capture/). They stream raw pictures and sound through two named pipes to
# one ffmpeg process. The video is written under a temporary name beside FILE
# and renamed only when the intro and ffmpeg both succeeded.
set -euo pipefail

scene_seconds=30
fps=60
scale=1
lossless=false
output=
build=true
program=
ffmpeg=${INTRO_CAPTURE_FFMPEG:-ffmpeg}
sound_rate=48000
# What the run adds to the scene, in simulated milliseconds (README, Recording
# a video): the paced logo intro, the wait for the worker threads to end,
# both fades and the credits page.
fixed_ms=4738

usage_text() { sed -n '4,18s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"; }
usage() {
  usage_text >&2
  exit 2
}
usage_error() {
  echo "record-intro: $*" >&2
  usage
}
fail() {
  echo "record-intro: $*" >&2
  exit 1
}

while (($#)); do
  case $1 in
    --seconds) (($# >= 2)) || usage; scene_seconds=$2; shift 2 ;;
    --fps) (($# >= 2)) || usage; fps=$2; shift 2 ;;
    --scale) (($# >= 2)) || usage; scale=$2; shift 2 ;;
    --lossless) lossless=true; shift ;;
    -o) (($# >= 2)) || usage; output=$2; shift 2 ;;
    --no-build) build=false; shift ;;
    --intro) (($# >= 2)) || usage; program=$2; shift 2 ;;
    --help) usage_text; exit 0 ;;
    *) usage_error "unknown option '$1'" ;;
  esac
done
[[ $scene_seconds =~ ^([0-9]{1,6})([.]([0-9]{1,2}))?$ ]] ||
  usage_error "--seconds wants a number of seconds with at most two decimals, not '$scene_seconds'"
hundredths=${BASH_REMATCH[3]}0
scene_ms=$((10#${BASH_REMATCH[1]} * 1000 + 10#${hundredths:0:2} * 10))
[[ $fps =~ ^[0-9]{1,3}$ ]] && ((10#$fps >= 1 && 10#$fps <= 240 && sound_rate % 10#$fps == 0)) ||
  usage_error "--fps wants a divisor of $sound_rate up to 240 (30, 50, 60, 120), not '$fps'"
fps=$((10#$fps))
[[ $scale =~ ^[1-4]$ ]] || usage_error "--scale wants a whole number from 1 to 4, not '$scale'"

# Nearest-neighbour enlargement keeps the pixels sharp (and exact when lossless).
scaling=()
((scale == 1)) || scaling=(-vf "scale=iw*$scale:ih*$scale:flags=neighbor")
# The container follows the options, and the name must not say otherwise.
case $lossless:$output in
  false:*.mkv) usage_error "$output would be a Matroska file, which only --lossless writes: add --lossless, or name an .mp4" ;;
  true:*.mp4) usage_error "$output would be an MP4 file, which --lossless does not write: name an .mkv, or leave out --lossless" ;;
esac
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
clock_library=$build_dir/capture/libintro_clock.so
for needed in "$program" "$media_library" "$music_library" "$clock_library"; do
  [[ -e $needed ]] || fail "$needed is missing: build the project first (./run-intro.sh builds it)"
done
# Both are used from inside the working directory below.
program=$(realpath -- "$program")
clock_library=$(realpath -- "$clock_library")

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
# the scene ends early and the recording closes normally. The raw inputs are
# not probed: a probe of seconds of sound would wait for sound that the run
# makes only once ffmpeg has taken the pictures before it.
raw_input=(-probesize 32 -analyzeduration 0 -thread_queue_size 64)
setsid "$ffmpeg" -hide_banner -loglevel error -nostdin -nostats -y \
  -f rawvideo -pixel_format bgr0 -video_size 640x480 -framerate "$fps" "${raw_input[@]}" -i "$workdir/video.pipe" \
  -f s16le -ar "$sound_rate" -ac 2 "${raw_input[@]}" -i "$workdir/audio.pipe" \
  -map 0:v -map 1:a "${scaling[@]}" "${encoding[@]}" "$partial" &
ffmpeg_pid=$!

total_seconds=$(awk -v s="$scene_ms" -v f="$fixed_ms" 'BEGIN { printf "%.3f", (s + f) / 1000 }')
intro_status=0
(
  cd "$workdir"
  export PWD=$workdir INTRO_CAPTURE_VIDEO=$workdir/video.pipe INTRO_CAPTURE_AUDIO=$workdir/audio.pipe
  export INTRO_CAPTURE_SCENE_MS=$scene_ms INTRO_CAPTURE_FPS=$fps INTRO_CAPTURE_TOTAL_SECONDS=$total_seconds
  LD_PRELOAD=$clock_library${LD_PRELOAD:+:$LD_PRELOAD} exec "$program"
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
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 -- "$output" 2>/dev/null || true)
echo "record-intro: wrote $(realpath -- "$output")${length:+ ($(printf %.2f "$length") s of video)}" >&2
