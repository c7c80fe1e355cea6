#include "version.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

const char* WebjsonVersion() {
    return WEBJSON_VERSION_STRING;
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
