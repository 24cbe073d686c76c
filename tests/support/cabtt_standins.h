#pragma once
// Stand-ins for symbols of other areas that have not landed yet, so that the CABTT tests
// link. Delete this file and cabtt_standins.cpp once the real definitions are merged.

// General keyboard handler (app/keys.h once it exists).
void OnKey(unsigned char key, int x, int y);
