#include "runtime/Profile.h"

#include <ostream>

Profile::Point* Profile::mRoot = nullptr;

Profile::Point::Point(const char* name) : next(Profile::mRoot), name(name)
{
    Profile::mRoot = this;
}

Profile::Point::~Point()
{
    for (Point** link = &Profile::mRoot; *link != nullptr; link = &(*link)->next) {
        if (*link == this) {
            *link = next;
            break;
        }
    }
}

void Profile::Point::put(std::ostream& os) const
{
    os << "[" << name << "]: ";
    measure.put(os);
}

void Profile::dump(std::ostream& os)
{
    for (const Point* p = mRoot; p != nullptr; p = p->next) {
        p->put(os);
        os << std::endl;
    }
}
