// Reading a clip ahead of the render: a worker thread of the clip's own asks
// it for the fields after the one the render asked for last, so that
// decoding, conversion and packing overlap the render.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "host/scenes/sources.hpp"
#include "host/settings/settings.hpp"

namespace vxhost {

// `clip` read ahead by up to `depth` fields (at least 1) of `format`'s size,
// in field order, from field `first` on at once, or with `first` negative
// from the first field asked for on, and up to field `last` (later ones are
// asked of the clip when asked for, so that nothing past a render is made
// and waited for at its end). fieldAt() gives exactly
// what `clip` gives for the same call, and so does madeField() as an image
// made of the field's own buffer (null for a field that was not made: the
// fieldAt() call after it reports it); a field out of sequence (a jump back
// or forward) restarts the reading at it. frame() and field() go to `clip`
// directly. Failures are reported by takeFailure() after the call that met
// them, as `clip` reports them; an exception `clip` throws is rethrown by that
// call. The clip must not be used elsewhere while wrapped.
std::shared_ptr<ClipSource> readAhead(std::shared_ptr<ClipSource> clip, const Format &format, int depth,
                                      int first = -1, int last = INT32_MAX);

// The read-ahead depth for each of `clips` clips when all of them may hold
// `budgetBytes` of fields of `format` between them: from 2 to 8 fields.
int readAheadDepth(const Format &format, std::size_t clips, std::size_t budgetBytes);

} // namespace vxhost
