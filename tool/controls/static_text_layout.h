// The toolkit-free line placement of the colour static: where each line (or text segment) of a
// text area starts when lines are spread evenly or set a fixed gap apart. No state; any thread.
#pragma once

#include <vector>

enum class TextVAlign { Near, Centre, Far };

// Tops of lines of the given heights in an area [top, top + areaHeight): the gap is `spacing`
// when > 0, else (areaHeight - total) / (lines + 1), never below 0. The first line starts at the
// top (Near), the top plus one gap (Centre), or so that the last line ends at the bottom (Far);
// each further line starts its height plus the gap below the previous one. Three 15-pixel lines
// centred in 90 pixels start at 11.25, 37.5 and 63.75.
std::vector<double> SpreadLineTops(const std::vector<double>& heights, double top,
                                   double areaHeight, int spacing, TextVAlign align);
