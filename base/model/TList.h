#pragma once

#include <new>

// Every small list of the library is a chain of records reached through its
// head: the head's previous link points at the tail, a lone record points at
// itself, and the tail has no next record. Records never free their data.

// Common links of a list record; Self is the concrete record type.
template <typename Self, typename T>
class TListRecord {
public:
    virtual ~TListRecord() = default;

    Self* GetPrev() const { return m_pPrev; }
    void SetPrev(Self* prev) { m_pPrev = prev; }
    Self* GetNext() const { return m_pNext; }
    void SetNext(Self* next) { m_pNext = next; }
    T GetData() const { return m_data; }
    void SetData(T data) { m_data = data; }

protected:
    // The derived constructor points the previous link at itself.
    explicit TListRecord(T data) : m_data(data) {}

private:
    Self* m_pPrev = nullptr;
    Self* m_pNext = nullptr;
    T m_data;
};

template <typename T>
class TList final : public TListRecord<TList<T>, T> {
public:
    // A lone record holding `data`; null when memory runs out.
    static TList* New(T data) { return new (std::nothrow) TList(data); }
    // Destroys the record only, never its data; null is allowed.
    static void Delete(TList* record) { delete record; }

private:
    explicit TList(T data) : TListRecord<TList<T>, T>(data) { this->SetPrev(this); }
};

// Operations over any head-and-tail list of records with Get/SetPrev and
// Get/SetNext.
struct CListTool {
    // The last record of the list; null for an empty list.
    template <typename R>
    static R* GetTail(R* head) { return head ? head->GetPrev() : nullptr; }

    // Appends the lone record `rec` at the tail; returns the head.
    template <typename R>
    static R* Append(R* head, R* rec)
    {
        if (!head) {
            rec->SetPrev(rec);
            rec->SetNext(nullptr);
            return rec;
        }
        R* tail = head->GetPrev();
        tail->SetNext(rec);
        rec->SetPrev(tail);
        rec->SetNext(nullptr);
        head->SetPrev(rec);
        return head;
    }

    // Unlinks `rec`, which must belong to the list, and leaves it alone;
    // returns the new head (null when the list became empty).
    template <typename R>
    static R* Unlink(R* head, R* rec)
    {
        R* next = rec->GetNext();
        R* prev = rec->GetPrev();
        if (rec == head) {
            if (next)
                next->SetPrev(prev);  // the successor takes over the tail link
            head = next;
        } else if (!next) {
            head->SetPrev(prev);
            prev->SetNext(nullptr);
        } else {
            prev->SetNext(next);
            next->SetPrev(prev);
        }
        rec->SetPrev(rec);
        rec->SetNext(nullptr);
        return head;
    }

    // Records from `head` along next links.
    template <typename R>
    static int Count(const R* head)
    {
        int n = 0;
        for (; head; head = head->GetNext())
            ++n;
        return n;
    }
};
