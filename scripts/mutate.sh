#!/usr/bin/env bash
# Plants known faults in the product, one at a time, and checks that the test
# suite catches each: the fault is applied to one source file with sed, the
# named targets are rebuilt, the named tests are run, and the file is put back
# (always: also on an error or Ctrl-C). Prints one line per fault: caught (with
# the tests that failed) or MISSED. Exits non-zero when a fault is missed, does
# not apply any more, or breaks the build.
#
#   scripts/mutate.sh [BUILD_DIR] [NAME...]   BUILD_DIR defaults to build/, an
#                                              already configured build; NAME
#                                              picks faults from the table.
set -uo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-$project_root/build}
shift $(($# > 0 ? 1 : 0))
cd "$project_root" || exit 1

names=() files=() edits=() targets=() tests=()
# fault NAME FILE SED-SCRIPT TARGETS CTEST-REGEX
#   TARGETS: the build targets the tests need, space-separated.
#   CTEST-REGEX: the tests to run (ctest -R); unit tests run twice, on the fast
#   paths and with the suffix .plain on the plain ones.
fault() { names+=("$1") files+=("$2") edits+=("$3") targets+=("$4") tests+=("$5"); }

# ---- Unit-level faults ----
fault blit_clip_right src/gfx/blit.cpp 's/std::min<int64_t>(int64_t{x} + sw, dw)/std::min<int64_t>(int64_t{x} + sw, dw - 1)/' \
  unit_tests '^Blit\.'
fault blit_clip_left src/gfx/blit.cpp 's/std::max<int64_t>(x, 0)/std::max<int64_t>(x, 1)/' unit_tests '^Blit\.'
fault blit_rounding src/gfx/blit.h 's/int(d - (d - s) \* factor)/int(d - (d - s) * factor + 0.5)/' unit_tests '^Blit\.'
fault texel_truncation_plain src/scene/rotozoom.cpp 's/static_cast<int16_t>(value)/static_cast<int16_t>(value + 0.5)/' \
  unit_tests '^Background\..*\.plain$'
fault texel_truncation_fast src/scene/rotozoom_avx2.cpp 's/_mm256_cvttpd_epi32(_mm256_sub_pd/_mm256_cvtpd_epi32(_mm256_sub_pd/' \
  unit_tests '^Background\.[A-Za-z]+$'
fault logo_channel_order src/scene/logo_paths.h \
  's/| capped_channel(blue, alpha) |/| (capped_channel(blue, alpha) << 16) |/; s/(capped_channel(red, alpha) << 16)/capped_channel(red, alpha)/' \
  unit_tests '^Logo\.'
fault divider_mirrored_row src/scene/dividers.cpp 's/lower\[divider_length - 1 - i\] = saved_row\[i\]/lower[i] = saved_row[i]/' \
  unit_tests '^Dividers\.'
fault fade_factor_step src/gfx/fade.cpp 's/a -= 0\.05/a -= 0.04/' unit_tests '^Fades\.'
fault atlas_width_rule src/gfx/atlas.cpp 's/inked ? max_x - min_x :/inked ? max_x - min_x + 1 :/' unit_tests '^GlyphAtlas'
fault panel_tab_column src/scene/text_panel.cpp 's/tabs_seen % 2 == 1 ?/tabs_seen % 2 == 0 ?/' unit_tests '^TextPanel'
fault panel_tab_page src/scene/text_panel.cpp 's/if (tabs % 2 == 0) ++page/if (tabs % 2 == 1) ++page/' unit_tests '^TextPanel'
fault scroller_reflection_row src/scene/scroller.cpp 's/frame.row(reflection_bottom - k)/frame.row(reflection_bottom - 1 - k)/' \
  unit_tests '^Scroller\.'
fault bounce_floor_strict src/scene/anim_state.cpp 's/logo_y + velocity > 8\.0/logo_y + velocity >= 8.0/' unit_tests '^Tick\.'
fault bounce_top_strict src/scene/anim_state.cpp 's/if (logo_y < 0\.0)/if (logo_y <= 0.0)/' unit_tests '^Tick\.'
fault interrupt_handler_store src/scene/interrupt_target.cpp 's/state->running.store(0, relaxed)/state->running.store(1, relaxed)/' \
  unit_tests '^Interrupt\.'
# ---- End-to-end faults (the intro as a whole) ----
e2e_tests='^(Startup|SceneRun|SceneFrame|CreditsRun|BadFiles)\.'
fault credits_missing_present src/credits/credits.cpp 's/^    lib::SDL_Flip(display);$//' "intro e2e_tests" "$e2e_tests"
fault teardown_order src/app/main.cpp '/^  lib::SDL_FreeSurface(display);$/{N;s/\(.*\)\n\(.*\)/\2\n\1/}' \
  "intro e2e_tests" "$e2e_tests"
fault binding_message_text src/platform/binding.cpp 's/"Failed to open %s\\n%s\\n"/"Cannot open %s\\n%s\\n"/' \
  "intro e2e_tests" "$e2e_tests"
fault missing_module_path src/scene/scene.cpp 's/if (file.descriptor < 0) {/if (file.descriptor < -1) {/' \
  "intro e2e_tests" "$e2e_tests"

backup=$(mktemp -d)
planted=""  # the file that holds a fault right now
restore() {
  if [[ -n $planted ]]; then cp "$backup/original" "$planted" && planted=""; fi
}
trap 'restore; rm -rf "$backup"' EXIT
trap 'echo "interrupted: the planted fault is reverted" >&2; exit 130' INT TERM

selected() {
  (($# == 0)) && return 0
  local name
  for name in "$@"; do [[ $name == "$current" ]] && return 0; done
  return 1
}

results=() failures=0
for i in "${!names[@]}"; do
  current=${names[$i]}
  selected "$@" || continue
  file=${files[$i]}
  cp "$file" "$backup/original"
  planted=$file
  sed -i "${edits[$i]}" "$file"
  if cmp -s "$file" "$backup/original"; then
    verdict="NOT APPLIED (the sed no longer matches $file)"
  elif ! cmake --build "$build_dir" -j2 --target ${targets[$i]} >"$backup/build.log" 2>&1; then
    verdict="BUILD BROKEN (see the fault's sed)"
  elif ctest --test-dir "$build_dir" -R "${tests[$i]}" --no-tests=error -j2 >"$backup/test.log" 2>&1; then
    verdict="MISSED"
  else
    read -ra failed <<<"$(sed -nE 's/^[[:space:]]*[0-9]+ - ([^ ]+) \(.*/\1/p' "$backup/test.log" | tr '\n' ' ')"
    verdict="caught by ${failed[0]:-(no test named in the output of ctest)}"
    ((${#failed[@]} > 1)) && verdict+=" and $((${#failed[@]} - 1)) more"
  fi
  restore
  [[ $verdict == caught* ]] || failures=$((failures + 1))
  results+=("$(printf '%-26s %-30s %s' "$current" "$file" "$verdict")")
  echo "${results[-1]}"
done

# The build is left with the product as it is.
cmake --build "$build_dir" -j2 --target $(printf '%s\n' "${targets[@]}" | tr ' ' '\n' | sort -u) >/dev/null 2>&1

echo
printf '%-26s %-30s %s\n' fault file result
printf '%s\n' "${results[@]}"
echo "$((${#results[@]} - failures)) of ${#results[@]} faults caught"
((failures == 0))
