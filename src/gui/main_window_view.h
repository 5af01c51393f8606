#pragma once

namespace qs {

class FormView;

// The main window's pictures and header decoration, drawn in code.
void DecorateMainWindow(FormView& view);

}  // namespace qs
