// A base header that reaches up into the card layer.
#pragma once
#include "card/card_engine.h"
