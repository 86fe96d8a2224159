// The sound kinds of the resource manager: ".wav" files (the WAV reader) and ".ogg" files
// (decoded whole) as CSound, and "stream" entries over ".ogg" files as CSoundStream.
// RegisterSoundResources makes them known to every CResourceManager of the process; the
// application calls it at start-up, and so does any tool or test that loads sounds through a
// manager. Calling it again changes nothing. Main thread.
#pragma once

void RegisterSoundResources();
