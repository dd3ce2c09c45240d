#pragma once
// The test doubles answer QueryInterface by the stand-ins' table: one helper
// for every object the tests write by hand.
#include "comserver/InterfaceTable.h"
