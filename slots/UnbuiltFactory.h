#pragma once
// What the factories of slot types that are not built yet share. Their slot
// types come with their own subsystems; until then each factory holds its
// place in the chain, makes no slot and adds nothing to the resource report.
// Each is a class of its own with a private constructor:
//
//   class PstnFactory : public UnbuiltFactory<PstnFactory> {
//       friend class UnbuiltFactory<PstnFactory>;
//       PstnFactory() : UnbuiltFactory("PSTN") {}
//   };
#include "core/SlotFactory.h"

class UnbuiltFactoryBase : public SlotFactory {
public:
    const char* GetName() const override { return name_; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources& resources) override;

protected:
    explicit UnbuiltFactoryBase(const char* name) : name_(name) {}

private:
    const char* name_;
};

template <class Factory>
class UnbuiltFactory : public UnbuiltFactoryBase {
public:
    // Built on the first call; lives as long as the process.
    static Factory& instance()
    {
        static Factory factory;
        return factory;
    }

protected:
    explicit UnbuiltFactory(const char* name) : UnbuiltFactoryBase(name) {}
};
