#pragma once

// Stops every singleton's threads and deletes it, links first, core last.
// The device never shuts down in an orderly way; a host run does this when
// its event loop ends, and tests between cases.
void stopAllForExit();
