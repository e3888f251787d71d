module Stack = struct
  type 'a t = { mutable items : 'a list }

  let create () = { items = [] }
  let push s x = s.items <- x :: s.items

  let pop s =
    match s.items with
    | [] -> None
    | x :: rest ->
      s.items <- rest;
      Some x
end

let sum_all xs = List.fold_left ( + ) 0 xs

let () =
  let s = Stack.create () in
  List.iter (Stack.push s) [ 1; 2; 3 ];
  Printf.printf "popped %d, sum %d\n"
    (Option.get (Stack.pop s))
    (sum_all s.Stack.items);
  print_endline "done"
