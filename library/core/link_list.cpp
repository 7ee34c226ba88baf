// Doubly linked list nodes. See link_list.h.
#include "library/core/link_list.h"

int InitLinkList(LinkNode* head, LinkNode* tail) {
    head->id = tail->id = -1;
    head->data = tail->data = nullptr;
    head->previous = nullptr;
    head->next = tail;
    tail->previous = head;
    tail->next = nullptr;
    return 0;
}

int InsertLinkNode(LinkNode* after, LinkNode* node, int id, void* data) {
    node->id = id;
    node->data = data;
    node->previous = after;
    node->next = after->next;
    if (after->next != nullptr) after->next->previous = node;
    after->next = node;
    return 0;
}

int UnlinkLinkNode(LinkNode* node) {
    if (node->previous != nullptr) node->previous->next = node->next;
    if (node->next != nullptr) node->next->previous = node->previous;
    return 0;
}
