// link_list.h - the library's doubly linked list node.
//
// A list is a head and a tail sentinel (id -1) joined to each other; nodes are owned
// by their user and linked in between.
//
//     LinkNode head, tail, node;
//     InitLinkList(&head, &tail);
//     InsertLinkNode(&head, &node, 7, record);  // head <-> node <-> tail
//     UnlinkLinkNode(&node);
#pragma once

struct LinkNode {
    int id;
    void* data;
    LinkNode* previous;
    LinkNode* next;
};

int InitLinkList(LinkNode* head, LinkNode* tail);
int InsertLinkNode(LinkNode* after, LinkNode* node, int id, void* data);
// Joins the node's neighbours; the node's own links are left as they were.
int UnlinkLinkNode(LinkNode* node);
