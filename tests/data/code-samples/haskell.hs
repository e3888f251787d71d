module Main where

import qualified Data.Map as Map

data Shape = Circle Double | Rect Double Double
  deriving (Show, Eq)

area :: Shape -> Double
area (Circle r) = pi * r * r
area (Rect w h) = w * h

main :: IO ()
main = do
  let shapes = [Circle 1.0, Rect 2.0 3.0]
  mapM_ (print . area) shapes
