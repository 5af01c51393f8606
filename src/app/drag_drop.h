#pragma once

#include <string_view>

#include "text/text.h"

namespace qs {

class App;

// Paths of the last drop on each panel; emptied at the first item of the next drop there.
struct DropLists {
    TextList SplitDropList;
    TextList MergeDropFiles;
    TextList MergeDropFolders;
    TextList registeredPanels;  // panels that accept drops, in registration order
};

// Per-item handlers: count items in the drop, index from 1 to count.
int SplitDropHandler(App& app, int count, int index, const Text& path);
int MergeDropHandler(App& app, int count, int index, const Text& path);

// Makes both panels accept drops (attached after the status label is embedded).
void RegisterDropTargets(App& app);

// A drop as the view delivers it: the handler of the panel is called once per non-empty
// path, in order, in one batch. A drop anywhere but a registered panel does nothing.
void DeliverDrop(App& app, std::string_view panelName, const TextList& paths);

}  // namespace qs
