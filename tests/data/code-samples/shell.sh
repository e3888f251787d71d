backup_dir="$HOME/backups"
mkdir -p "$backup_dir"

for file in *.conf; do
  if [ -f "$file" ]; then
    cp "$file" "$backup_dir/"
    echo "saved $file"
  fi
done

count=$(ls "$backup_dir" | wc -l)
echo "$count files in $backup_dir"
