#pragma once
// Intrusive doubly linked lists: the links live in the items, so linking and
// unlinking allocate nothing. The lists never own their items.
//
// An item class T derives from F_dual_list_item<T> (or from another record with
// `T* next; T* prev;`, given as the list's second parameter, to sit in a second
// kind of list at the same time).

template <class T>
struct F_dual_list_item
{
    T* next = nullptr;
    T* prev = nullptr;
};

template <class T, class Item = F_dual_list_item<T>>
class F_dual_list
{
public:
    template <class V>
    class basic_iterator
    {
    public:
        explicit basic_iterator(V* item = nullptr) : current(item) {}
        basic_iterator& operator++()
        {
            current = links(current).next;
            return *this;
        }
        basic_iterator operator++(int)
        {
            basic_iterator old(*this);
            ++*this;
            return old;
        }
        V& operator*() const { return *current; }
        V* operator->() const { return current; }
        V* get() const { return current; }
        bool operator==(const basic_iterator& other) const { return current == other.current; }
        bool operator!=(const basic_iterator& other) const { return current != other.current; }

    private:
        V* current;
    };
    using iterator = basic_iterator<T>;
    using const_iterator = basic_iterator<const T>;

    F_dual_list() = default;
    F_dual_list(const F_dual_list&) = delete;
    F_dual_list& operator=(const F_dual_list&) = delete;
    // The items are left as they are.
    ~F_dual_list() = default;

    void insert_to_head(T* item)
    {
        links(item).prev = nullptr;
        links(item).next = head;
        if (head != nullptr)
            links(head).prev = item;
        else
            tail = item;
        head = item;
        ++items;
    }

    void insert_to_tail(T* item)
    {
        links(item).next = nullptr;
        links(item).prev = tail;
        if (tail != nullptr)
            links(tail).next = item;
        else
            head = item;
        tail = item;
        ++items;
    }
    void push_back(T* item) { insert_to_tail(item); }

    // position must be linked in this list, item must be free.
    void insert_after(T* position, T* item)
    {
        T* following = links(position).next;
        links(item).prev = position;
        links(item).next = following;
        links(position).next = item;
        if (following != nullptr)
            links(following).prev = item;
        else
            tail = item;
        ++items;
    }

    // item must be linked in this list (not searched). Its own links are left
    // as they were.
    void remove(T* item)
    {
        T* before = links(item).prev;
        T* after = links(item).next;
        if (before != nullptr)
            links(before).next = after;
        else
            head = after;
        if (after != nullptr)
            links(after).prev = before;
        else
            tail = before;
        --items;
    }

    T* remove_from_head()
    {
        T* item = head;
        if (item != nullptr)
            remove(item);
        return item;
    }

    T* remove_from_tail()
    {
        T* item = tail;
        if (item != nullptr)
            remove(item);
        return item;
    }

    // Exchanges the two lists' contents (no concatenation).
    void merge(F_dual_list& other)
    {
        T* h = head;
        T* t = tail;
        unsigned c = items;
        head = other.head;
        tail = other.tail;
        items = other.items;
        other.head = h;
        other.tail = t;
        other.items = c;
    }

    // Links n consecutive objects of storage, in address order, as the whole
    // list; whatever the list held before is forgotten.
    void init(T* storage, unsigned n)
    {
        head = tail = nullptr;
        items = 0;
        for (unsigned i = 0; i < n; ++i)
            insert_to_tail(storage + i);
    }

    unsigned size() const { return items; }
    unsigned count() const { return items; }
    bool empty() const { return items == 0; }
    T* first() const { return head; }
    T* last() const { return tail; }

    iterator begin() { return iterator(head); }
    iterator end() { return iterator(); }
    const_iterator begin() const { return const_iterator(head); }
    const_iterator end() const { return const_iterator(); }

    // Checks head, tail, count and the links both ways; for tests.
    bool valid() const
    {
        if ((head == nullptr) != (tail == nullptr) || (head == nullptr) != (items == 0))
            return false;
        if (head == nullptr)
            return true;
        if (links(head).prev != nullptr || links(tail).next != nullptr)
            return false;
        unsigned n = 1;
        const T* item = head;
        while (links(item).next != nullptr) {
            const T* after = links(item).next;
            if (links(after).prev != item || n >= items)
                return false;
            item = after;
            ++n;
        }
        return item == tail && n == items;
    }

protected:
    static Item& links(T* item) { return *static_cast<Item*>(item); }
    static const Item& links(const T* item) { return *static_cast<const Item*>(item); }

    T* head = nullptr;
    T* tail = nullptr;
    unsigned items = 0;
};

// Kept in ascending order of T's `int compare(const T& other) const` (negative:
// this one first); equal items stay in insertion order.
template <class T, class Item = F_dual_list_item<T>>
class F_sorted_list : public F_dual_list<T, Item>
{
    using Base = F_dual_list<T, Item>;

public:
    // Walks from the tail, so inserting in ascending order costs one compare.
    void insert_to_tail_by_grown(T* item)
    {
        for (T* position = this->tail; position != nullptr; position = Base::links(position).prev) {
            if (position->compare(*item) <= 0) {
                this->insert_after(position, item);
                return;
            }
        }
        this->insert_to_head(item);
    }
};
