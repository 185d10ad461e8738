#pragma once
// Fixed ring of N elements (packet handles in practice). A slot outside the
// live range holds an empty T, so a queued buffer stays referenced only while
// it is queued.

template <class T, unsigned N>
class CleanQueue
{
    static_assert(N > 0, "a queue needs room");

public:
    CleanQueue() = default;
    CleanQueue(const CleanQueue&) = delete;
    CleanQueue& operator=(const CleanQueue&) = delete;

    // Adds the newest element; false (and nothing changed) when full.
    bool put(const T& element)
    {
        if (items == N)
            return false;
        slots[write] = element;
        write = step(write);
        ++items;
        return true;
    }

    // Adds an element before the oldest one: the next get returns it.
    bool append(const T& element)
    {
        if (items == N)
            return false;
        read = read == 0 ? N - 1 : read - 1;
        slots[read] = element;
        ++items;
        return true;
    }

    // Takes the oldest element; the target is untouched when empty.
    bool get(T& target)
    {
        if (items == 0)
            return false;
        target = slots[read];
        slots[read] = T();
        read = step(read);
        --items;
        return true;
    }
    bool get(T* target) { return get(*target); }

    // Takes the newest element.
    bool get_last(T* target)
    {
        if (items == 0)
            return false;
        write = write == 0 ? N - 1 : write - 1;
        *target = slots[write];
        slots[write] = T();
        --items;
        return true;
    }

    // The oldest element without taking it; a null target only tests.
    bool preview(T* target) const
    {
        if (items == 0)
            return false;
        if (target != nullptr)
            *target = slots[read];
        return true;
    }

    // Empties the queue and releases what it held.
    void clear()
    {
        for (unsigned i = 0; i < N; ++i)
            slots[i] = T();
        read = write = items = 0;
    }

    unsigned count() const { return items; }
    bool empty() const { return items == 0; }
    static constexpr unsigned size() { return N; }

private:
    static unsigned step(unsigned index) { return index + 1 == N ? 0 : index + 1; }

    T slots[N] = {};
    unsigned read = 0;
    unsigned write = 0;
    unsigned items = 0;
};
