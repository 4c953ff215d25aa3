// The subscriptions of the commands: downloads.db beside config.ini.
#pragma once

#include <memory>

#include "app/cli/output.h"
#include "download/subscription/subscription_store.h"

namespace quivra {

// Null after saying why on standard error.
std::unique_ptr<SubscriptionStore> openSubscriptions(Terminal& terminal);

}  // namespace quivra
