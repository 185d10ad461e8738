#pragma once
// Sequence number modulo Max + 1 (Max + 1 a power of two); the link layers use
// Cyclic<unsigned, 127>. The window test `a <= b <= c` is true when b lies in
// the window from a forward to c, both ends included.

template <class V = unsigned, V Max = 127>
class Cyclic
{
    static_assert((Max & (Max + 1)) == 0, "the modulus must be a power of two");

public:
    // Result of `a <= b`, to be compared with the window's far end.
    class LessEqPair
    {
    public:
        LessEqPair(const Cyclic& low, const Cyclic& value) : a(low), b(value) {}
        bool operator<=(const Cyclic& c) const
        {
            return ((c.value - a.value) & Max) >= ((b.value - a.value) & Max);
        }

    private:
        Cyclic a;
        Cyclic b;
    };

    Cyclic() = default;
    Cyclic(V v) : value(v & Max) {}

    operator V() const { return value; }

    Cyclic& operator++()
    {
        value = (value + 1) & Max;
        return *this;
    }
    Cyclic operator++(int)
    {
        Cyclic old(*this);
        ++*this;
        return old;
    }
    Cyclic& operator--()
    {
        value = (value - 1) & Max;
        return *this;
    }
    Cyclic operator+(const Cyclic& other) const { return Cyclic(value + other.value); }
    LessEqPair operator<=(const Cyclic& other) const { return LessEqPair(*this, other); }

private:
    V value = 0;
};
