#pragma once

#include <string>

namespace quorlen {

// A results file read without building its tree: the document as compact
// UTF-16 JSON text, every character outside ASCII escaped, values as
// DumpJsonCompact writes them and keys in the file's order (a repeated key
// stays repeated; a reader takes the last one, as parsing into a tree does).
// That is what a plug-in is sent, at a fraction of the memory a tree of a
// large class takes.
struct TStreamedResults {
    // False when the file could not be read, is not JSON or nests deeper
    // than MaxJsonDepth; Why then says so, exactly as ParseJsonFile's error.
    bool Parsed = false;
    std::string Why;
    // A results document: an object with "Version" and an array "Lista"
    // (the last one, should the key repeat).
    bool ResultsDocument = false;
    // Whether the root has "Klucz": a scored document, whose class figures
    // need the whole tree.
    bool Scored = false;
    std::u16string Text;
};

TStreamedResults StreamResultsFile(const std::string& path);

}  // namespace quorlen
