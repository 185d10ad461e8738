#pragma once
// A simulated driver whose events go to every live open of its device, one
// message per event.
#include <cstddef>
#include <vector>

#include "board/sim/SimDriver.h"

class SimEventDriver : public SimDriver {
public:
    void opened(SimOpenFile& file) override;
    void closed(SimOpenFile& file) override;

    // Sends raw bytes (a short or long record) to every open; false when
    // there is no open or some open could not take them.
    bool sendBytes(const std::vector<unsigned char>& bytes) { return sendBytes(bytes.data(), bytes.size()); }

protected:
    bool sendBytes(const unsigned char* data, std::size_t size);

private:
    std::vector<SimOpenFile*> opens_;
};
