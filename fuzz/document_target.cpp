// Processes the input as a document of the sample schema. A text that does not fit must leave
// the tree at its defaults with one failure line; a text that fits must be written and read
// back unchanged.
#include <cmath>
#include <sstream>

#include "fuzz_support.h"
#include "sample_document.h"

namespace {

using namespace DocumentAPI::JsonDocumentAPI;

// Whether the writer puts v in a form the reader takes back: finite, and not in exponent form.
bool PlainDouble(double v, unsigned int decimal) {
    if (!std::isfinite(v)) return false;
    std::ostringstream out;
    out.precision(static_cast<std::streamsize>(decimal));
    out << v;
    return out.str().find('e') == std::string::npos;
}

}  // namespace

int FuzzDocument(const uint8_t* data, std::size_t size) {
    fuzzing::Console console;
    sample::SampleDocument doc;
    const std::string input(reinterpret_cast<const char*>(data), size);

    if (!sample::Process(doc, input)) {
        FUZZ_CHECK(console.Take() == "Format Document failed\n");
        FUZZ_CHECK(sample::Generate(doc) == sample::DefaultText());
        return 0;
    }
    FUZZ_CHECK(console.Take().empty());

    // The file node is refused on reading, so the written text leaves it out.
    doc.file->SetEnable(false);
    bool written = false;
    const std::string text = sample::Generate(doc, &written);
    FUZZ_CHECK(written);
    JsonSchemaList* root = doc.Root();
    auto* ordered = static_cast<JsonSchemaList*>(root->GetObject("ordered"));
    if (!PlainDouble(root->GetObject("d")->GetValueDouble(), 3) ||
        !PlainDouble(ordered->GetObject(1u)->GetValueDouble(), 6)) {
        return 0;
    }
    FUZZ_CHECK(sample::Process(doc, text));
    FUZZ_CHECK(sample::Generate(doc) == text);
    FUZZ_CHECK(console.Take().empty());
    return 0;
}
