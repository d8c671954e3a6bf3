#pragma once
// The label-equivalence tables of glyph extraction (TDCRFrame::FindChars),
// available on their own so that their rules can be checked directly.
#include <cstdint>

#include "recognition/DCRFra.h"

namespace kyt::labels {

// Points every entry of the equivalence table at the root its chain of
// entries leads to (a root is an entry equal to its own index). A chain that
// runs into a cycle ends at the first label it meets twice, which becomes a
// root. Raises kyt::Error for an entry that names no label of the table.
void ResolveEquivalences(TPixelLabels& equivalence);

// Replaces every resolved entry by its glyph number: roots are numbered from 0
// in the order of the smallest label that leads to them. Returns the count.
int32_t RenumberEquivalences(TPixelLabels& equivalence);

}  // namespace kyt::labels
