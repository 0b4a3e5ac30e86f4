#include "link/ProxyReply.h"

#include "link/AppLog.h"
#include "link/ProxyWire.h"

namespace jvo {

bool TakeProxyReply(RecBuf& body, MsgBuf& reply, LinkStatus* status) {
    LinkStatus local;
    LinkStatus& st = status ? *status : local;
    const int32_t size = body.Length();
    const proxywire::Reply r =
        proxywire::ParseReply(body.ReadPtr(), size > 0 ? static_cast<size_t>(size) : 0);
    switch (r.kind) {
        case proxywire::ReplyKind::Answer:
            reply.PutBytes(r.payload, static_cast<int32_t>(r.length));
            if (reply.Error()) {
                st = LinkStatus::Of(LinkResult::ReplyTooLong);
                return false;
            }
            st = LinkStatus{};
            return true;
        case proxywire::ReplyKind::Failure:
            st = LinkStatus::Of(LinkResult::NoReply, "the proxy server had no reply from the unit");
            return false;
        case proxywire::ReplyKind::Refusal:
            st = LinkStatus::Of(LinkResult::ProxyRefused);
            st.refusal = r.refusal;
            st.limit = r.limit;
            return false;
        case proxywire::ReplyKind::Malformed:
            break;
    }
    if (size >= 3) {
        JVO_LOG1("ProxyConnection::Transact() Reply length %d exceeds the %d bytes received",
                 body.ReadPtr()[1] | body.ReadPtr()[2] << 8, size - 3);
    }
    st = LinkStatus::Of(LinkResult::BadReply, "a malformed reply from the proxy server");
    return false;
}

}  // namespace jvo
