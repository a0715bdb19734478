// The element tree's parser on arbitrary text, then the writer and the destruction of whatever
// tree was built, complete or partial.
#include <cstddef>
#include <cstdint>
#include <string>

#include "VnXML.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TVnXMLElement root;
    try {
        root.Parse(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const EVnException&) {
        // "Incorrect XML data": the partial tree stays and is written below.
    }
    // Indentation grows with the square of the depth; keep it for inputs of ordinary size.
    root.WriteText(size <= 65536 ? -1 : -static_cast<int>(size));
    TVnXMLElement* found = nullptr;
    root.FindChildByAttr("name", "x", found);
    root.AttrValue("ver");
    return 0;
}
