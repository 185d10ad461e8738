#include "runtime/Dpc.h"

#include "runtime/Multiplexer.h"

Dpc::~Dpc()
{
    Deactivate();
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
