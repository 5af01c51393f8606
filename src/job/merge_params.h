#pragma once

#include "encoding/output_text.h"
#include "text/text.h"

namespace qs {

// What goes between two merged files: a text, the content of a file, or nothing.
enum class MergeSeparatorKind { String, File, None };

// The order of a unit's members: as listed (names in natural order), or by the chapter
// headings they begin with.
enum class MergeOrder { Names, Headings };

// Everything a merge is asked to do, as one value.
struct MergeParams {
    Text pattern = "*.*";  // the files of a folder to merge
    bool includeSubfolders = false;
    bool saveInParentFolder = true;
    bool processTextEncoding = false;
    bool deleteSources = false;
    MergeSeparatorKind separatorKind = MergeSeparatorKind::String;
    Text separatorText;  // exactly as it stands; a line break in it is CR LF
    Text separatorPath;
    OutputRequest output;  // output encoding and 繁简
    MergeOrder order = MergeOrder::Names;
};

}  // namespace qs
