// The texture requester behind txRequest.
#pragma once

#include "vxhost/txlib.h"

namespace vxhost {

// Shows the texture library as a grid, opened on the texture `settings`
// names (all zero: none yet); with `options` it also offers the scale, the
// opacity and a tiled preview. Returns 1 when a texture was chosen (then
// `settings` holds its record), 0 when the user left without choosing, 2
// when it failed (an empty library, a texture that cannot be read), and -1
// when the requester could not be opened.
int runTextureRequester(TxSettings &settings, bool options);

} // namespace vxhost
