%% Erlang side of the message-module cross-check (see crosscheck.py).
-module(crosscheck).
-export([main/1]).

-define(MIN_INT, -16#80000000).
-define(MAX_INT, 16#FFFFFFFF).
-define(MAX_LIST, 128).

main(["values", TypesFile, Count, TermFile]) ->
    Types = read_lines(TypesFile),
    N = list_to_integer(Count),
    Self = self(),
    %% One process per type: the value generator is slow on deep types.
    %% The values differ from run to run (the generator keeps its own seed).
    Workers = [spawn_link(fun() -> Self ! {self(), gen_type(Line, N)} end)
               || Line <- Types],
    Values = [receive {W, L} -> L end || W <- Workers],
    ok = file:write_file(TermFile, term_to_binary(Values));
main(["encode", TermFile, OutFile]) ->
    {ok, Bin} = file:read_file(TermFile),
    Lines = [[io_lib:format("~s ~s ~s~n", [M, T, encode(M, T, V)]) || V <- Vs]
             || {M, T, Vs} <- binary_to_term(Bin)],
    ok = file:write_file(OutFile, Lines);
main(["check", InFile, OutFile]) ->
    {ok, Out} = file:open(OutFile, [write]),
    lists:foreach(fun(Line) -> check_line(Out, Line) end, read_lines(InFile)),
    ok = file:close(Out).

read_lines(File) ->
    {ok, Bin} = file:read_file(File),
    [L || L <- string:split(binary_to_list(Bin), "\n", all), L =/= ""].

gen_type(Line, N) ->
    [M, T] = string:split(Line, " "),
    Mod = list_to_atom(M),
    Type = list_to_atom(T),
    Generate = generator(Mod, Type),
    {M, T, [value(Generate, Mod, Type, 50) || _ <- lists:seq(1, N)]}.

%% asn1ct:value/2 loads the module's database for every value, which costs
%% far more than the value: the database is loaded once per process and the
%% values come from asn1ct_value straight away, where this release has it.
generator(Mod, Type) ->
    try
        asn1_db:dbstart(["."]),
        _ = asn1ct_value:from_type(Mod, Type),
        fun() -> asn1ct_value:from_type(Mod, Type) end
    catch
        _:_ ->
            fun() ->
                    case asn1ct:value(Mod, Type) of
                        {ok, Value} -> Value;
                        Choice -> Choice   % a CHOICE whose alternative is named ok or error
                    end
            end
    end.

encode(M, T, V) ->
    {ok, Bytes} = (list_to_atom(M)):encode(list_to_atom(T), V),
    hex(Bytes).

%% A random value whose numbers fit in 32 bits and whose lists hold at most
%% 128 elements, as the runtime keeps them.
value(_, Mod, Type, 0) -> erlang:error({no_value, Mod, Type});
value(Generate, Mod, Type, Tries) ->
    V = Generate(),
    case fits(V) of
        true -> V;
        false -> value(Generate, Mod, Type, Tries - 1)
    end.

fits(I) when is_integer(I) -> I >= ?MIN_INT andalso I =< ?MAX_INT;
fits(L) when is_list(L) -> length(L) =< ?MAX_LIST andalso lists:all(fun fits/1, L);
fits(T) when is_tuple(T) -> fits(tuple_to_list(T));
fits(B) when is_binary(B) -> byte_size(B) < 16384;
fits(_) -> true.

check_line(Out, Line) ->
    [M, T, Hex] = string:split(Line, " ", all),
    Mod = list_to_atom(M),
    Type = list_to_atom(T),
    Result = try
                 {ok, V} = Mod:decode(Type, unhex(Hex)),
                 {ok, Bytes} = Mod:encode(Type, V),
                 hex(Bytes)
             catch
                 C:R -> lists:flatten(io_lib:format("ERROR ~p:~0p", [C, R]))
             end,
    io:format(Out, "~s ~s ~s~n", [M, T, Result]).

hex(Bytes) ->
    case binary:encode_hex(iolist_to_binary(Bytes)) of
        <<>> -> "-";
        H -> string:lowercase(binary_to_list(H))
    end.

unhex("-") -> <<>>;
unhex(Hex) -> binary:decode_hex(list_to_binary(Hex)).
