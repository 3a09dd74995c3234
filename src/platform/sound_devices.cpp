#include "platform/sound_devices.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// ALSA names its playback devices pcmC<card>D<device>p.
bool alsa_playback_device_present() {
  DIR* devices = opendir("/dev/snd");
  if (devices == nullptr) return false;
  bool found = false;
  while (const dirent* entry = readdir(devices)) {
    const size_t length = std::strlen(entry->d_name);
    if (std::strncmp(entry->d_name, "pcmC", 4) == 0 && entry->d_name[length - 1] == 'p') found = true;
  }
  closedir(devices);
  return found;
}

bool sound_server_socket_present() {
  std::string runtime = environment("XDG_RUNTIME_DIR");
  if (runtime.empty()) runtime = "/run/user/" + std::to_string(getuid());
  return exists(runtime + "/pulse/native") || exists(runtime + "/pipewire-0") || exists("/run/pulse/native");
}

bool alsa_configured() {
  const std::string home = environment("HOME");
  return exists("/etc/asound.conf") || (!home.empty() && exists(home + "/.asoundrc"));
}

}  // namespace

bool sound_device_present() {
  return !environment("PULSE_SERVER").empty() || alsa_playback_device_present() || exists("/dev/dsp") ||
         sound_server_socket_present() || alsa_configured();
}
