#pragma once
// In-memory model of an INI-style configuration file and its parser.
//
// Every occurrence of a section header and of a key is kept with its line
// number, so that a reader can tell a missing key from a repeated one:
//   File -> Section (one per name) -> SubSection (one per header line)
//        -> Key (one per name inside a SubSection) -> SubKey (one per key line)
// Each parent owns its children (a doubly linked chain in creation order)
// and deletes them when cleaned or destroyed. Name lookups are exact and
// case-sensitive. Looking a name up creates the node when it is missing.
#include <iosfwd>
#include <map>
#include <string>

namespace IniFile {

// Walks one level of the tree: starts at a parent's first child, ++ follows
// `next`; the end iterator is the null one.
template<class Node>
class GenericIterator {
public:
    explicit GenericIterator(Node* node = nullptr) : mNode(node) {}
    Node& operator*() const { return *mNode; }
    Node* operator->() const { return mNode; }
    GenericIterator& operator++()
    {
        if (mNode != nullptr)
            mNode = mNode->next;
        return *this;
    }
    GenericIterator operator++(int)
    {
        GenericIterator old(*this);
        ++*this;
        return old;
    }
    bool operator!=(const GenericIterator& other) const { return mNode != other.mNode; }
    bool operator==(const GenericIterator& other) const { return mNode == other.mNode; }

private:
    Node* mNode;
};

class SubKey {
public:
    SubKey(const std::string& value, int lineNo) : mValue(value), mLineNo(lineNo) {}

    const std::string& GetValue() const { return mValue; }
    int GetLineNo() const { return mLineNo; }

    // "true"/"yes"/"1"/"on" and "false"/"no"/"0"/"off", whole value, case-sensitive.
    bool GetBool(bool def) const;
    void SetBool(bool value);
    // As "%d" reads it; no number or one out of int's range gives `def`.
    int GetInt(int def) const;
    void SetInt(int value);
    // As "%f" reads it; no number or one out of float's range gives `def`.
    float GetFloat(float def) const;
    void SetFloat(float value);

    void Dump(std::ostream& os) const;

    SubKey* next = nullptr;
    SubKey* prev = nullptr;

private:
    std::string mValue;
    int mLineNo;
};

class Key {
public:
    typedef GenericIterator<SubKey> iterator;

    explicit Key(const std::string& name) : mName(name) {}
    ~Key() { CleanSubKeys(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    const std::string& GetName() const { return mName; }
    int GetSubKeyCount() const { return mSubKeyCount; }
    SubKey* First() const { return mFirst; }
    SubKey* Last() const { return mLast; }
    iterator begin() const { return iterator(mFirst); }
    iterator end() const { return iterator(); }

    SubKey* NewSubKey(const std::string& value, int lineNo);
    void CleanSubKeys();
    // Gives the key one empty occurrence (line -1) when it has none.
    void CheckEmpty();
    void Dump(std::ostream& os) const;

    Key* next = nullptr;
    Key* prev = nullptr;

private:
    std::string mName;
    int mSubKeyCount = 0;
    SubKey* mFirst = nullptr;
    SubKey* mLast = nullptr;
};

class SubSection {
public:
    typedef GenericIterator<Key> iterator;

    explicit SubSection(int lineNo) : mLineNo(lineNo) {}
    ~SubSection() { CleanKeys(); }
    SubSection(const SubSection&) = delete;
    SubSection& operator=(const SubSection&) = delete;

    int GetLineNo() const { return mLineNo; }
    int GetKeyCount() const { return mKeyCount; }
    Key* First() const { return mFirst; }
    iterator begin() const { return iterator(mFirst); }
    iterator end() const { return iterator(); }

    // The key of that name; created empty when missing. Never null.
    Key* operator[](const std::string& name);
    // Appends a key; the existing one when the name is taken.
    Key* NewKey(const std::string& name);
    SubKey* NewSubKey(const std::string& name, const std::string& value, int lineNo);
    void CleanKeys();
    void Dump(std::ostream& os) const;

    SubSection* next = nullptr;
    SubSection* prev = nullptr;

private:
    int mLineNo;
    int mKeyCount = 0;
    Key* mFirst = nullptr;
    Key* mLast = nullptr;
    std::map<std::string, Key*> mMap;
};

class Section {
public:
    typedef GenericIterator<SubSection> iterator;

    explicit Section(const std::string& name) : mName(name) {}
    ~Section() { CleanSubSections(); }
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;

    const std::string& GetName() const { return mName; }
    int GetSubSectionCount() const { return mSubSectionCount; }
    SubSection* First() const { return mFirst; }
    iterator begin() const { return iterator(mFirst); }
    iterator end() const { return iterator(); }

    SubSection* NewSubSection(int lineNo);
    void CleanSubSections();
    // Gives the section one empty occurrence (line -1) when it has none.
    void CheckEmpty();
    void Dump(std::ostream& os) const;

    Section* next = nullptr;
    Section* prev = nullptr;

private:
    std::string mName;
    int mSubSectionCount = 0;
    SubSection* mFirst = nullptr;
    SubSection* mLast = nullptr;
};

class File {
public:
    typedef GenericIterator<Section> iterator;

    File();
    explicit File(const std::string& fileName);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Replaces the content with the file's; false when it cannot be opened,
    // is not a regular file or fails while read (the File is then closed and
    // empty). A file that opens always parses.
    bool Open(const std::string& fileName);
    // Empties the model, open or not.
    void Close();
    void Sync() {}

    bool IsOpen() const { return mOpen; }
    const std::string& GetFileName() const { return mFileName; }
    int GetSectionCount() const { return mSectionCount; }
    iterator begin() const { return iterator(mFirst); }
    iterator end() const { return iterator(); }

    // The section of that name; created empty when missing. Never null.
    Section* operator[](const std::string& name);
    SubSection* NewSubSection(const std::string& name, int lineNo);
    // Appends a section; the existing one when the name is taken.
    Section* NewSection(const std::string& name);
    void CleanSections();
    void Dump(std::ostream& os) const;

    friend std::istream& operator>>(std::istream& is, File& file);

private:
    bool IntOpen();
    void IntOpenStream(std::istream& is);

    std::string mFileName;
    bool mOpen = false;
    int mSectionCount = 0;
    Section* mFirst = nullptr;
    Section* mLast = nullptr;
    std::map<std::string, Section*> mMap;
};

// Closes the file, clears its name and parses the stream into it.
std::istream& operator>>(std::istream& is, File& file);

} // namespace IniFile
