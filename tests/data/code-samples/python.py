import os
from pathlib import Path


class Inventory:
    def __init__(self, root):
        self.root = Path(root)
        self.items = {}

    def load(self):
        for entry in os.listdir(self.root):
            if entry.endswith(".json"):
                self.items[entry] = self.root / entry
        return len(self.items)


def main():
    inventory = Inventory("/var/lib/stock")
    try:
        count = inventory.load()
    except OSError as error:
        print(f"could not read stock: {error}")
        return None
    print(f"{count} files")
