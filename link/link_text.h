// The link's texts for the user, described rather than formatted: a
// string-table id (link/link_string_ids.h) and its printf arguments. The link
// decides what to say; the window turns it into words (platform/text.h).
#pragma once

#include "platform/text.h"

using BLinkText = BText;
using BLinkTextArg = BTextArg;
