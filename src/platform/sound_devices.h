// Whether this machine may have somewhere to play sound, decided from what
// the system shows without opening anything: the music library's own probe
// of each driver prints the sound libraries' errors and writes under HOME
// when there is nothing to find.
#pragma once

// True when a sound device or a sound server shows itself: an ALSA playback
// device, the OSS device, a PulseAudio or PipeWire socket (the user's or a
// system-wide one), a server named in PULSE_SERVER, or an ALSA configuration
// of the user's or the system's, which may route sound anywhere.
bool sound_device_present();
