-module(counter).
-export([start/0, loop/1]).

-spec start() -> pid().
start() ->
    spawn(fun() -> loop(0) end).

loop(Count) ->
    receive
        {increment, From} ->
            From ! {ok, Count + 1},
            loop(Count + 1);
        stop ->
            ok
    end.
