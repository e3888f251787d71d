package com.example.orders;

import java.util.ArrayList;
import java.util.List;

public class OrderBook {
    private final List<String> orders = new ArrayList<>();

    public void add(String order) {
        orders.add(order);
    }

    @Override
    public String toString() {
        return String.join(", ", orders);
    }

    public static void main(String[] args) {
        OrderBook book = new OrderBook();
        book.add("first");
        System.out.println(book);
    }
}
