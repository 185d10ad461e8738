#include "runtime/Dpc.h"

#include "runtime/Multiplexer.h"

Dpc::~Dpc()
{
    Deactivate();
    delete handler;
}

void Dpc::Bind(DpcHandler* newHandler)
{
    DpcHandler* old = handler;
    handler = newHandler;
    delete old;
}

void Dpc::Activate()
{
    if (!active) {
        multiplexer.attach(this);
        active = true;
    }
}

void Dpc::Deactivate()
{
    if (active) {
        multiplexer.dettach(this);
        active = false;
    }
}
