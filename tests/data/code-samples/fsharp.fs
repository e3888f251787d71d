module Inventory

open System

type Item = { Name: string; Quantity: int }

let restock (threshold: int) items =
    items
    |> List.filter (fun item -> item.Quantity < threshold)
    |> List.map (fun item -> { item with Quantity = threshold })

let describe item =
    match item.Quantity with
    | 0 -> "out of stock"
    | n -> sprintf "%d left" n

printfn "%A" (restock 5 [ { Name = "bolts"; Quantity = 2 } ])
