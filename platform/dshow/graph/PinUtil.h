// Small questions the graph manager asks of filters and pins, through their interfaces only.
#pragma once

#include <string>
#include <vector>

#include "ComPtr.h"
#include "FilterData.h"
#include "Interfaces.h"

// The filter's pins, in its order; empty when it cannot enumerate them.
std::vector<ComPtr<IPin>> FilterPins(IBaseFilter* filter);
std::vector<ComPtr<IPin>> FilterPins(IBaseFilter* filter, PIN_DIRECTION direction);
bool PinDirectionIs(IPin* pin, PIN_DIRECTION direction);
// The pin this one is connected to, or null.
ComPtr<IPin> ConnectedPin(IPin* pin);
// The filter that owns the pin, or null.
ComPtr<IBaseFilter> PinOwner(IPin* pin);
std::u16string PinName(IPin* pin);
std::u16string FilterName(IBaseFilter* filter);
// The (major, sub) pairs of the types the pin offers, without repeats.
std::vector<PinTypeRecord> PinTypes(IPin* pin);
// The filter's downstream neighbours (owners of the pins its outputs are connected to).
std::vector<ComPtr<IBaseFilter>> DownstreamFilters(IBaseFilter* filter);
// A renderer or sink: says so through IAMFilterMiscFlags, or has inputs and no outputs.
bool IsRenderer(IBaseFilter* filter);
// Says so through IAMFilterMiscFlags: wants the graph to run on a clock.
bool AsksForClock(IBaseFilter* filter);
