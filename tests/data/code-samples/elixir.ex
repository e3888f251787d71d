defmodule Greeter do
  @moduledoc "Greets people by name."

  def hello(name) when is_binary(name) do
    name
    |> String.trim()
    |> String.capitalize()
    |> greet()
  end

  defp greet(""), do: "Hello, stranger"
  defp greet(name), do: "Hello, " <> name
end

IO.puts(Greeter.hello("  ada "))
