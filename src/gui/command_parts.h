#pragma once

namespace qs {

class App;

// Gives the window what the command line's parts do: reading a heading rule list, a file
// system that writes nothing (the preview), and verify of a manifest the user chooses (with
// the pieces rejoined when they are whole, as merging the manifest does).
void WireCommandLineParts(App& app);

}  // namespace qs
