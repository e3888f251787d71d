#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct node {
    int value;
    struct node *next;
} node;

node *push(node *head, int value)
{
    node *n = malloc(sizeof(node));
    if (n == NULL)
        return head;
    n->value = value;
    n->next = head;
    return n;
}

int main(void)
{
    node *list = NULL;
    for (int i = 0; i < 3; i++)
        list = push(list, i);
    printf("%d\n", list->value);
    return 0;
}
