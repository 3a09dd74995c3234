// Recording music library: the ten libmikmod entry points the intro binds,
// plus MikMod_DriverFromAlias and the md_device variable. Plays nothing; it
// records every call and hands out a zeroed MODULE record. Built as a shared
// object for end-to-end runs, placed as data/mikmod.library.
//
// Configured by environment variables:
//
//   INTRO_DOUBLE_LOG=<file>    append one line per call, e.g.
//                                "MikMod_RegisterAllDrivers"  "MikMod_RegisterAllLoaders"
//                                "MikMod_Init \"\" device=0"   (parameters, then md_device at the call)
//                                "MikMod_DriverFromAlias nosound"
//                                "Player_Load data/data05.dt 64 0"
//                                "Player_Start module wrap=1"  (the `wrap` field seen at the call)
//                                "Player_Active"  "MikMod_Update"  "Player_Stop"
//                                "Player_Free module"  "MikMod_Exit"
//                              "module" is the record Player_Load handed out; any other pointer is
//                              logged as "foreign" (and not freed), null as "null". Also
//                              "recording_mikmod loaded" on loading and, on unloading,
//                              "recording_mikmod leaked module" if it was never freed, then
//                              "recording_mikmod unloaded". The log is shared with the media double;
//                              the intro's music thread writes to it concurrently.
//   INTRO_DOUBLE_FAIL=MikMod_Init   MikMod_Init returns 1; "MikMod_Init:first" fails only the first
//                              call (as when no sound device opens until md_device is set).
//                              "Player_Active": the module has ended (Player_Active returns 0).
//   INTRO_DOUBLE_INTERRUPT, _INTERRUPT_SIGNAL   as in the media double ("interrupt sent" follows
//                              the line the signal was sent at).
//
// Player_Active returns 1 from Player_Start until Player_Stop (unless told to fail).
//
// Player_Load hands out a module only when the file can be read (its content
// is not looked at), so a missing module file fails as it would.
#include <mikmod.h>

#include "doubles/double_support.h"

using namespace double_support;

namespace {

// MikMod_Init, Player_Load and MikMod_Exit come from the main thread, the
// player calls from the intro's music thread: everything shared is atomic.
std::atomic<MODULE*> loaded_module{nullptr};
std::atomic<int> init_calls{0};
std::atomic<bool> playing{false};

const char* module_name(const MODULE* module) {
  if (module == nullptr) return "null";
  return module == loaded_module.load() ? "module" : "foreign";
}

// Declared last: the other globals outlive it.
Lifetime lifetime("recording_mikmod", [] {
  if (MODULE* module = loaded_module.exchange(nullptr)) {
    record("recording_mikmod leaked module");
    std::free(module);
  }
});

}  // namespace

extern "C" {

UWORD md_device = 0;

void MikMod_RegisterAllDrivers(void) { record("MikMod_RegisterAllDrivers"); }
void MikMod_RegisterAllLoaders(void) { record("MikMod_RegisterAllLoaders"); }

int MikMod_Init(const CHAR* parameters) {
  record("MikMod_Init \"%s\" device=%u", parameters != nullptr ? parameters : "(null)", unsigned(md_device));
  return told_to_fail("MikMod_Init", ++init_calls) ? 1 : 0;
}

void MikMod_Exit(void) { record("MikMod_Exit"); }

// The silent driver, the one alias the intro asks for, is the sixth that
// MikMod_RegisterAllDrivers registers on Debian.
int MikMod_DriverFromAlias(const CHAR* alias) {
  record("MikMod_DriverFromAlias %s", alias != nullptr ? alias : "(null)");
  return alias != nullptr && std::string(alias) == "nosound" ? 6 : 0;
}

MODULE* Player_Load(const CHAR* filename, int max_channels, BOOL curious) {
  record("Player_Load %s %d %d", filename != nullptr ? filename : "(null)", max_channels, curious);
  if (filename == nullptr || access(filename, R_OK) != 0) return nullptr;
  auto* module = static_cast<MODULE*>(std::calloc(1, sizeof(MODULE)));
  std::free(loaded_module.exchange(module));  // the intro loads one module; a second is a fault the log shows
  return module;
}

void Player_Start(MODULE* module) {
  record("Player_Start %s wrap=%d", module_name(module), module != nullptr ? int(module->wrap) : 0);
  playing = module != nullptr;
}

BOOL Player_Active(void) {
  record("Player_Active");
  return playing.load() && !told_to_fail("Player_Active") ? 1 : 0;
}

void Player_Stop(void) {
  record("Player_Stop");
  playing = false;
}

void Player_Free(MODULE* module) {
  record("Player_Free %s", module_name(module));
  MODULE* expected = module;
  if (module != nullptr && loaded_module.compare_exchange_strong(expected, nullptr)) std::free(module);
}

void MikMod_Update(void) { record("MikMod_Update"); }

}  // extern "C"
