// Bringing the whole host back to its defaults between renders and tests.
#pragma once

namespace vxhost {

// Back to defaults: settings (format, screen, language, folders), scenes,
// input, sink, the toolkit's state (overlay plane, monitor picture, counts,
// its image set) and the captured log. VXHOME is left as it is.
void reset();

} // namespace vxhost
