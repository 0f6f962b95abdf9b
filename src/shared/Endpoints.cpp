#include "shared/Endpoints.h"

namespace gw::endpoints {

Hosts& hosts()
{
    static Hosts h;
    return h;
}

} // namespace gw::endpoints
