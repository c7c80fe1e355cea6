// One message about a device parameter, sent through the messaging agent. Internal.
#ifndef WEBJSON_DETAIL_PARAM_MESSAGE_H
#define WEBJSON_DETAIL_PARAM_MESSAGE_H

#include <cstdint>

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace detail {

// Fills a message record for parameter param at the four index words idx, with length bytes
// at data, sends it as message id and returns the status the server wrote (0 when no server
// is set: nothing is sent then).
std::int32_t send_param_message(unsigned int id, std::uint32_t param, const std::uint32_t idx[4],
                                std::uint32_t length, void* data);

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_PARAM_MESSAGE_H
