#include "sync/LinkSession.h"

#include "sync/BasicLinkSession.h"

namespace zumbal::sync {

std::unique_ptr<LinkSession> makeLinkSession(double bpm) {
    return std::make_unique<BasicLinkSession<SystemClocks>>(bpm);
}

} // namespace zumbal::sync
