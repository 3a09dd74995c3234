// The frame benchmark. Draws the main scene's effects into a 640 × 480
// surface in memory, never presenting: each effect's per-frame draw alone and
// the whole frame in the frame loop's order, each with a fast path beside the
// plain reference of the tests (tests/reference), SDL 1.2's own per-pixel-alpha blit of the
// same panel as a peer, and a memcpy of one frame as the floor. The scene is
// set up from the real generated assets in data/.
//
// Each benchmark is repeated and reported by its median CPU time; the last
// line sums up the ratios that matter. Options are Google Benchmark's own;
// without any, five repetitions of at least 0.2 s each. The "fast" side is
// what the intro runs: its AVX2 versions, or its plain ones with
// INTRO_FAST_PATHS=off in the environment.
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "gfx/blit.h"
#include "gfx/fast_paths.h"
#include "gfx/frame.h"
#include "platform/entry_points.h"
#include "reference/reference.h"
#include "scene/anim_state.h"
#include "scene/dividers.h"
#include "scene/logo.h"
#include "scene/rotozoom.h"
#include "scene/scene.h"
#include "scene/scroller.h"
#include "scene/text_panel.h"
#include "support/real_scene.h"

namespace {

constexpr size_t frame_pixels = size_t(display_width) * display_height;
const int background_steps[] = {0, 160, 320, 480, 600};

// The intro's Scene, set up from the real assets, plus the surfaces that the
// effects, the references and SDL draw into.
struct BenchScene : RealScene {
  SDL_Surface* display = nullptr;  // what the intro's effects draw on
  FrameView frame{};
  SDL_Surface* reference_display = nullptr;
  SDL_Surface* sdl_display = nullptr;  // the peer's destination: the display's format
  SDL_Surface* sdl_panel = nullptr;    // the panel with an alpha mask, for SDL's blitter
};

BenchScene scene;

uint32_t* words(SDL_Surface* surface) { return static_cast<uint32_t*>(surface->pixels); }

void bind_media_library() {
  lib::SDL_CreateRGBSurface = &::SDL_CreateRGBSurface;
  lib::SDL_FreeSurface = &::SDL_FreeSurface;
  lib::SDL_FillRect = &::SDL_FillRect;
}

void set_up_scene() {
  bind_media_library();
  if (chdir(INTRO_PROJECT_DIR) != 0) std::exit(1);
  scene.display = SDL_CreateRGBSurface(0, display_width, display_height, 32, 0, 0, 0, 0);
  scene.frame = frame_of(scene.display);
  scene.reference_display = SDL_CreateRGBSurface(0, display_width, display_height, 32, 0, 0, 0, 0);
  set_up_real_scene(scene, "frame_bench");

  // SDL blends only a source whose format has an alpha mask.
  const SDL_Surface* panel = scene.panel.surface;
  scene.sdl_panel = SDL_CreateRGBSurface(SDL_SRCALPHA, panel->w, panel->h, 32, 0x00ff0000, 0x0000ff00,
                                         0x000000ff, 0xff000000);
  std::memcpy(scene.sdl_panel->pixels, panel->pixels, size_t(panel->w) * size_t(panel->h) * 4);
  SDL_SetAlpha(scene.sdl_panel, SDL_SRCALPHA, SDL_ALPHA_OPAQUE);
  scene.sdl_display = SDL_CreateRGBSurface(0, display_width, display_height, 32, 0, 0, 0, 0);
}

void reference_panel() {
  reference::blit(scene.panel.surface, words(scene.reference_display), display_width, display_height,
                  text_panel_left, text_panel_top);
}

void reference_logo() {
  const AnimState& state = scene.state;
  const SDL_Surface* logo = scene.logo.surface;
  reference::logo_with_band(words(scene.reference_display), pixels_of(logo), logo->w, logo->h,
                            scene.logo.x + reference::logo_sway(state.tick), int16_t(state.logo_y), state.phase);
}

// The whole frame through the references, in the frame loop's order. The
// scroller and the dividers have no fast path: their own drawing stands in.
void draw_reference_frame(int step) {
  AnimState& state = scene.state;
  uint32_t* frame = words(scene.reference_display);
  const FrameView view = frame_of(scene.reference_display);
  reference::background(step, scene.background.texels, frame);
  reference_panel();
  scroller_draw(scene.scroller, view, state.scroll_x);
  if (state.fade != 255) reference::fade_band(frame, state.fade);
  reference_logo();
  draw_divider_lines(view, scene.saved_divider_row.data(), scene.upper_row);
}

// The benchmark is only worth its numbers if both sides draw the same frame.
void check_frames_agree() {
  for (int fade : {0, 128, 255})
    for (int step : {0, 77, 160, 333, 480, 639}) {
      scene.state.angle = int16_t(step);
      scene.state.fade = uint8_t(fade);
      draw_scene_frame(scene, scene.frame);
      draw_reference_frame(step);
      if (std::memcmp(scene.display->pixels, scene.reference_display->pixels, frame_pixels * 4) != 0) {
        std::fprintf(stderr, "frame_bench: the frame at step %d, fade %d differs from the reference\n", step, fade);
        std::exit(1);
      }
    }
  set_scene_values(scene.state);
}

// ---- The benchmarks ----

void background_fast(benchmark::State& st) {
  for (auto _ : st) {
    rotozoom_draw(scene.background, scene.frame, int(st.range(0)));
    benchmark::ClobberMemory();
  }
}

void background_reference(benchmark::State& st) {
  for (auto _ : st) {
    reference::background(int(st.range(0)), scene.background.texels, words(scene.reference_display));
    benchmark::ClobberMemory();
  }
}

// The panel goes over a drawn background; repeated blits keep mixing into the
// same pixels, which costs the same as the first.
void panel_fast(benchmark::State& st) {
  rotozoom_draw(scene.background, scene.frame, scene.state.angle);
  for (auto _ : st) {
    text_panel_draw(scene.panel, scene.frame);
    benchmark::ClobberMemory();
  }
}

void panel_reference(benchmark::State& st) {
  reference::background(0, scene.background.texels, words(scene.reference_display));
  for (auto _ : st) {
    reference_panel();
    benchmark::ClobberMemory();
  }
}

void panel_sdl(benchmark::State& st) {
  std::memcpy(scene.sdl_display->pixels, scene.display->pixels, frame_pixels * 4);
  for (auto _ : st) {
    SDL_Rect at{Sint16(text_panel_left), Sint16(text_panel_top), 0, 0};
    SDL_BlitSurface(scene.sdl_panel, nullptr, scene.sdl_display, &at);
    benchmark::ClobberMemory();
  }
}

void scroller_fast(benchmark::State& st) {
  rotozoom_draw(scene.background, scene.frame, scene.state.angle);
  for (auto _ : st) {
    scroller_draw(scene.scroller, scene.frame, scene.state.scroll_x);
    benchmark::ClobberMemory();
  }
}

void fade_band_fast(benchmark::State& st) {
  for (auto _ : st) {
    fade_in_band(scene.frame, scene.state.fade);
    benchmark::ClobberMemory();
  }
}

void fade_band_reference(benchmark::State& st) {
  for (auto _ : st) {
    reference::fade_band(words(scene.reference_display), scene.state.fade);
    benchmark::ClobberMemory();
  }
}

void logo_fast(benchmark::State& st) {
  for (auto _ : st) {
    logo_draw(scene.logo, scene.frame, logo_row(scene.state, scene.logo.y), scene.state.tick, scene.state.phase);
    benchmark::ClobberMemory();
  }
}

void logo_reference(benchmark::State& st) {
  for (auto _ : st) {
    reference_logo();
    benchmark::ClobberMemory();
  }
}

void dividers_fast(benchmark::State& st) {
  for (auto _ : st) {
    draw_divider_lines(scene.frame, scene.saved_divider_row.data(), scene.upper_row);
    benchmark::ClobberMemory();
  }
}

// The three darkened bands of a frame: behind the logo, under the scroller,
// and the scroller's second pass over its last rows.
void darkening_fast(benchmark::State& st) {
  for (auto _ : st) {
    darken_rect(scene.frame, 0, 0, display_width, 171);
    darken_rect(scene.frame, 0, 401, display_width, display_height);
    darken_rect(scene.frame, 0, 471, display_width, display_height);
    benchmark::ClobberMemory();
  }
}

void darkening_reference(benchmark::State& st) {
  uint32_t* frame = words(scene.reference_display);
  for (auto _ : st) {
    reference::darken_rect(frame, 0, 0, display_width, 171);
    reference::darken_rect(frame, 0, 401, display_width, display_height);
    reference::darken_rect(frame, 0, 471, display_width, display_height);
    benchmark::ClobberMemory();
  }
}

// The whole frame, turning through every angle step as the scene does, with
// the fade-in running (every step of the loop) or finished.
void frame_fast(benchmark::State& st) {
  scene.state.fade = uint8_t(st.range(0));
  int step = 0;
  for (auto _ : st) {
    scene.state.angle = int16_t(step);
    step = (step + 1) % rotozoom_steps;
    draw_scene_frame(scene, scene.frame);
    benchmark::ClobberMemory();
  }
  set_scene_values(scene.state);
}

void frame_reference(benchmark::State& st) {
  scene.state.fade = uint8_t(st.range(0));
  int step = 0;
  for (auto _ : st) {
    draw_reference_frame(step);
    step = (step + 1) % rotozoom_steps;
    benchmark::ClobberMemory();
  }
  set_scene_values(scene.state);
}

void frame_memcpy(benchmark::State& st) {
  for (auto _ : st) {
    std::memcpy(scene.reference_display->pixels, scene.display->pixels, frame_pixels * 4);
    benchmark::ClobberMemory();
  }
}

// The background's set-up: allocating and filling its tables.
void background_set_up(benchmark::State& st) {
  for (auto _ : st) {
    rotozoom_free(scene.background);
    rotozoom_init(scene.background, scene.texture);
  }
}

void register_benchmarks() {
  for (int step : background_steps) {
    benchmark::RegisterBenchmark("background_fast", background_fast)->Arg(step);
    benchmark::RegisterBenchmark("background_reference", background_reference)->Arg(step);
  }
  using Benchmark = void (*)(benchmark::State&);
  const std::pair<const char*, Benchmark> effects[] = {
      {"panel_fast", panel_fast}, {"panel_reference", panel_reference},
      {"panel_sdl_blit", panel_sdl}, {"scroller_fast", scroller_fast},
      {"fade_band_fast", fade_band_fast}, {"fade_band_reference", fade_band_reference},
      {"logo_fast", logo_fast}, {"logo_reference", logo_reference},
      {"dividers_fast", dividers_fast}, {"darkening_fast", darkening_fast},
      {"darkening_reference", darkening_reference},
  };
  for (const auto& [name, run] : effects) benchmark::RegisterBenchmark(name, run);
  for (int fade : {128, 255}) {
    benchmark::RegisterBenchmark("frame_fast", frame_fast)->Arg(fade);
    benchmark::RegisterBenchmark("frame_reference", frame_reference)->Arg(fade);
  }
  benchmark::RegisterBenchmark("frame_memcpy", frame_memcpy);
  benchmark::RegisterBenchmark("background_set_up", background_set_up)->Unit(benchmark::kMillisecond);
}

// The console report, keeping the CPU time of each benchmark by name (with
// its argument) in nanoseconds: the median when repetitions are reported,
// else the single run. CPU time, since other work on a shared machine
// stretches wall time but not the time this single thread draws.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (!median && run.run_type == Run::RT_Aggregate) continue;
      const std::string args = run.run_name.args.empty() ? "" : "/" + run.run_name.args;
      const std::string name = run.run_name.function_name + args;
      const double nanoseconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
      if (median || medians_.count(name) == 0) medians_[name] = nanoseconds;
    }
  }
  // The time in nanoseconds, or 0 when that benchmark did not run.
  double median(const std::string& name) const {
    const auto found = medians_.find(name);
    return found == medians_.end() ? 0.0 : found->second;
  }
  double background_sum(const std::string& kind) const {
    double sum = 0;
    for (int step : background_steps) sum += median("background_" + kind + "/" + std::to_string(step));
    return sum;
  }

 private:
  std::map<std::string, double> medians_;
};

double ratio(double numerator, double denominator) { return denominator > 0 ? numerator / denominator : 0.0; }

void print_summary(const MedianReporter& r) {
  const double frame = r.median("frame_fast/128");
  std::printf("\nfull frame %.3f ms with the fade-in band, %.3f ms after it (%s)\n", frame / 1e6,
              r.median("frame_fast/255") / 1e6, fast_paths_on() ? "AVX2 paths" : "plain paths");
  std::printf(
      "summary: full frame fast/reference %.3f (target <= 0.30) | background fast/reference %.3f (<= 0.45) | "
      "panel fast/SDL %.3f (<= 0.6) | full frame/memcpy %.1f | background set-up %.1f ms (<= 20)\n",
      ratio(frame, r.median("frame_reference/128")), ratio(r.background_sum("fast"), r.background_sum("reference")),
      ratio(r.median("panel_fast"), r.median("panel_sdl_blit")), ratio(frame, r.median("frame_memcpy")),
      r.median("background_set_up") / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  // Defaults unless options are given: medians of five repetitions.
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=5", aggregates = "--benchmark_display_aggregates_only=true",
              min_time = "--benchmark_min_time=0.2";
  if (argc == 1) {
    args.push_back(repetitions.data());
    args.push_back(aggregates.data());
    args.push_back(min_time.data());
  }
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

  set_up_scene();
  check_frames_agree();
  register_benchmarks();
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_summary(reporter);
  benchmark::Shutdown();
  return 0;
}
