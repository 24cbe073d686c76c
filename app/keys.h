#pragma once

// The general keyboard handler; also Standard ROAM's, and the end of CABTT's own handler.
void OnKey(unsigned char key, int x, int y);
